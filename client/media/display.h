// display.h -- the game screen: an 800 x 600 RGB565 back buffer shown in the main window.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "client/media/draw_context.h"
#include "client/media/glyph_cache.h"
#include "client/media/pixel.h"
#include "client/media/surface.h"

struct SDL_Window;

namespace kestrane {

// Where a display's back buffer is shown: the main window on the media's SDL edge.
class ScreenOutput {
public:
    virtual ~ScreenOutput() = default;
    // Shows the picture; 0, or the platform's negative code.
    virtual int show(const Surface& picture) = 0;
};

enum class WindowMode {
    FullScreenDesktop,  // the desktop's resolution, the 800 x 600 picture scaled and letterboxed
    Windowed,           // a window of exactly the display's size
};

// The program's one display. Three states, all normal:
// - empty (new, after release() or a failed init): no back buffer; everything drawn is lost
//   and no drawing context can be had;
// - offscreen (initOffscreen): a back buffer with real pixels but no window, for bots, tests
//   and headless runs; present() only counts;
// - windowed (init): the back buffer is shown in the main window by present().
// Text is drawn with the glyphs of glyphs(), which has no source at first (text draws nothing)
// until the program gives it one (font_glyphs.h).
// Main thread only. Surfaces do not depend on the display and may outlive it.
class Display {
public:
    Display();
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    // Takes over `window` (created by the client program, which keeps owning it): switches it
    // to `mode`, uses the window's renderer (setting its logical size to width x height) or
    // makes one, and creates the back buffer and the texture it is shown through. bitsPerPixel
    // must be 16. False on the first step that fails, with no message (the caller reports it);
    // the display is then empty. Defined on the media's SDL edge (kestrane_media_sdl).
    bool init(SDL_Window* window, int width, int height, int bitsPerPixel,
              WindowMode mode = WindowMode::FullScreenDesktop);
    // A back buffer without a window.
    bool initOffscreen(int width = 800, int height = 600, int bitsPerPixel = 16);
    // A back buffer shown through `output` (what init() does with its window).
    bool initWithOutput(std::unique_ptr<ScreenOutput> output, int width, int height, int bitsPerPixel = 16);
    void release();

    // Shows the back buffer. Returns 0, or the platform's negative code. A texture the
    // platform has lost is made again and that frame is skipped (0 is returned).
    int present();

    bool hasBackBuffer() const { return !backBuffer_.empty(); }
    bool hasWindow() const { return output_ != nullptr; }
    Surface& backBuffer() { return backBuffer_; }
    const Surface& backBuffer() const { return backBuffer_; }
    // {0, 0, screenWidth, screenHeight}; all 0 while empty.
    const PixelRect& screenRect() const { return screenRect_; }
    std::int32_t screenWidth() const { return screenRect_.right; }
    std::int32_t screenHeight() const { return screenRect_.bottom; }

    // A drawing context on the back buffer, or nothing while there is none (the caller then
    // skips its text for this frame). Drop it before present().
    std::optional<DrawContext> getDC();
    GlyphCache& glyphs() { return glyphs_; }

    // Records every drawing request and present into `log` (null stops recording). The log
    // must outlive its use here.
    void setDrawLog(DrawLog* log) { log_ = log; }
    DrawLog* drawLog() const { return log_; }
    // How many times present() was called since init.
    int presentCount() const { return presentCount_; }

    // Writes the back buffer as a PNG file; false without a back buffer or when the file
    // cannot be written.
    bool saveScreenshot(const std::string& path) const;

private:
    Surface backBuffer_;
    PixelRect screenRect_{};
    GlyphCache glyphs_;
    DrawLog* log_ = nullptr;
    int presentCount_ = 0;
    std::unique_ptr<ScreenOutput> output_;
};

}  // namespace kestrane
