// main_window.h -- the game's main window "OrvaneWorks", its icon, and whether windows can open at all.
#pragma once

#include <string>

struct SDL_Window;

namespace kestrane {

inline constexpr const char* kMainWindowTitle = "OrvaneWorks";
inline constexpr int kScreenWidth = 800;
inline constexpr int kScreenHeight = 600;
inline constexpr int kScreenBitsPerPixel = 16;

// Starts SDL's video and tells whether it reaches a display someone can see. SDL falls back
// to its invisible offscreen driver when no display answers; that driver (or the dummy one)
// counts only when SDL_VIDEODRIVER names it (tests, headless runs). On false `why` says what
// is missing. With such a driver rendering is set to software. The video subsystem stays
// started for the caller either way; SDL_Quit ends it.
bool startVideo(std::string& why);

// Gives `window` the program's icon; nothing when it cannot be made.
void setWindowIcon(SDL_Window* window);

// The main window: titled "OrvaneWorks", covering the desktop (or an 800 x 600 window when
// `windowed`), with the program's icon, shown, with the mouse cursor hidden over it. Null
// when it cannot be created. The caller destroys it with SDL_DestroyWindow.
SDL_Window* createMainWindow(bool windowed);

}  // namespace kestrane
