// main_window.cpp -- creating the main window on SDL.
#include "client/app/main_window.h"

#include <SDL.h>

#include <string_view>
#include <vector>

#include "client/app/window_icon.h"

namespace kestrane {

bool startVideo(std::string& why) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        why = SDL_GetError();
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    const std::string_view name = driver != nullptr ? driver : "";
    if (name != "offscreen" && name != "dummy") {
        return true;
    }
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    if (requested != nullptr && name == requested) {
        // No graphics card stands behind an invisible display: draw in software, so no GL
        // library (and its threads) is loaded for nothing.
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        return true;
    }
    why = "SDL found only its invisible '" + std::string(name) + "' video driver";
    return false;
}

void setWindowIcon(SDL_Window* window) {
    if (window == nullptr) {
        return;
    }
    std::vector<std::uint8_t> pixels = windowIconPixels();
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), kIconSize, kIconSize, 32, kIconSize * 4,
                                                           SDL_PIXELFORMAT_RGBA32);
    if (icon != nullptr) {
        SDL_SetWindowIcon(window, icon);  // SDL keeps its own copy
        SDL_FreeSurface(icon);
    }
}

SDL_Window* createMainWindow(bool windowed) {
    const Uint32 mode = windowed ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP;
    SDL_Window* window = SDL_CreateWindow(kMainWindowTitle, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          kScreenWidth, kScreenHeight, SDL_WINDOW_HIDDEN | mode);
    if (window == nullptr) {
        return nullptr;
    }
    setWindowIcon(window);
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
    SDL_ShowCursor(SDL_DISABLE);
    return window;
}

}  // namespace kestrane
