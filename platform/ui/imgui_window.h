// imgui_window.h -- a small SDL2 window with an SDL_Renderer and its own Dear ImGui context.
#pragma once

#include <string>

#include "platform/font_path.h"

struct SDL_Window;
struct SDL_Renderer;
struct ImGuiContext;
union SDL_Event;

namespace kestrane {

inline constexpr float kUiFontSize = 16.0f;

// A control's place in a window, in pixels.
struct UiRect {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;

    float centreX() const { return x + width / 2; }
    float centreY() const { return y + height / 2; }
};

// The plain look of the game's dialogs: light colours, square corners, framed controls,
// `verticalPadding` pixels above and below each control's text. Applies to the current context.
void useClassicDialogStyle(float verticalPadding);

// The windows of the server console and the login dialog. The font covers Latin and Korean.
// Each instance has its own ImGui context, made current by beginFrame and makeCurrent.
// Main thread only (SDL's rule for windows and events). Without a display open() fails and
// the object stays inert: every other call does nothing.
class ImGuiWindow {
public:
    ImGuiWindow() = default;
    ~ImGuiWindow();
    ImGuiWindow(const ImGuiWindow&) = delete;
    ImGuiWindow& operator=(const ImGuiWindow&) = delete;

    // Opens a `width` x `height` pixel window titled `title` (UTF-8), shown at once or kept
    // hidden until show(). False, leaving nothing open, when no display can be opened; SDL's
    // offscreen and dummy drivers count as a display only when SDL_VIDEODRIVER names them.
    bool open(const std::string& title, int width, int height, bool visible = true);
    void show();
    void close();
    bool isOpen() const { return window_ != nullptr; }

    // Hands an event to ImGui when it belongs to this window (or to no window in
    // particular, such as a key or text event); true when it did.
    bool processEvent(const SDL_Event& event);
    // Starts a frame: makes the context current and begins an ImGui frame.
    void beginFrame();
    // Ends the frame: renders it and presents it.
    void endFrame();
    // Saves the last frame's pixels as a PNG; false when there is no frame or the file
    // cannot be written. Call after endFrame.
    bool saveScreenshot(const std::string& path);

    void makeCurrent();
    SDL_Window* window() { return window_; }
    SDL_Renderer* renderer() { return renderer_; }
    unsigned windowId() const;

private:
    void loadFont();
    void trackPointer(const SDL_Event& event);

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    ImGuiContext* context_ = nullptr;
    bool videoStarted_ = false;
    bool frameRendered_ = false;
    // The pointer as this window's own events place it; used when SDL names no window as
    // having the mouse (its offscreen driver, some window managers), so clicks still land.
    bool pointerInside_ = false;
    float pointerX_ = 0;
    float pointerY_ = 0;
};

}  // namespace kestrane
