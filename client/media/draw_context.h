// draw_context.h -- text and rectangles drawn onto a surface, the way the game draws its HUD.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "client/media/pixel.h"

namespace kestrane {

class GlyphCache;
class Surface;
class SpriteFrame;

// What was asked of a display during a frame, for tests and headless checks: the requests
// are recorded whether or not there are pixels to draw them into.
struct DrawLog {
    struct Text {
        int x = 0;
        int y = 0;
        std::string bytes;  // as given (code page 949)
        Rgb colour;
    };
    struct Rectangle {
        PixelRect rect;
        Rgb brush;
    };
    struct Sprite {
        const SpriteFrame* frame = nullptr;
        int x = 0;  // where the frame's hot spot was asked to go
        int y = 0;
    };
    std::vector<Text> texts;
    std::vector<Rectangle> rectangles;
    std::vector<Sprite> sprites;
    int presents = 0;

    void clear() { *this = DrawLog{}; }
};

// A drawing context on one surface, taken for a frame and dropped before presenting.
// Text has a transparent background and the current text colour (black at first); the
// brush fills rectangles (white at first). Draws nothing outside the surface.
class DrawContext {
public:
    DrawContext(Surface& target, GlyphCache* glyphs, DrawLog* log = nullptr);

    // Both return the previous colour, so a caller can put it back.
    Rgb setTextColor(Rgb colour);
    Rgb selectBrush(Rgb colour);
    Rgb textColor() const { return textColour_; }

    // Draws code page 949 bytes with the top-left corner of the first cell at (x, y).
    void textOut(int x, int y, std::string_view cp949Text);
    void textOutUtf8(int x, int y, std::string_view utf8Text);
    // The rectangle [left, right) x [top, bottom): a one-pixel black outline on its edge pixels
    // and the brush inside. Swapped corners are put in order first; an empty one draws nothing.
    void rectangle(int left, int top, int right, int bottom);

private:
    void drawCodePoints(int x, int y, const std::u32string& text);
    void fillSpan(int left, int top, int right, int bottom, std::uint16_t pixel);

    Surface& target_;
    GlyphCache* glyphs_;
    DrawLog* log_;
    Rgb textColour_ = kBlack;
    Rgb brush_ = kWhite;
};

}  // namespace kestrane
