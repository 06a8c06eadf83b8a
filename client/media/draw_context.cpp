// draw_context.cpp -- text from cached glyph masks and rectangles with the old desktop's rules.
#include "client/media/draw_context.h"

#include <algorithm>
#include <utility>

#include "client/media/glyph_cache.h"
#include "client/media/surface.h"

namespace kestrane {

DrawContext::DrawContext(Surface& target, GlyphCache* glyphs, DrawLog* log)
    : target_(target), glyphs_(glyphs), log_(log) {}

Rgb DrawContext::setTextColor(Rgb colour) { return std::exchange(textColour_, colour); }

Rgb DrawContext::selectBrush(Rgb colour) { return std::exchange(brush_, colour); }

void DrawContext::textOut(int x, int y, std::string_view cp949Text) {
    if (log_ != nullptr) {
        log_->texts.push_back({x, y, std::string(cp949Text), textColour_});
    }
    if (glyphs_ != nullptr && !target_.empty() && !cp949Text.empty()) {
        drawCodePoints(x, y, glyphs_->decodeCp949(cp949Text));
    }
}

void DrawContext::textOutUtf8(int x, int y, std::string_view utf8Text) {
    if (glyphs_ != nullptr && !target_.empty()) {
        drawCodePoints(x, y, GlyphCache::decodeUtf8(utf8Text));
    }
}

void DrawContext::drawCodePoints(int x, int y, const std::u32string& text) {
    const std::uint16_t ink = toRgb565(textColour_);
    const int width = target_.width();
    const int height = target_.height();
    int penX = x;
    for (const char32_t codePoint : text) {
        const Glyph* cell = glyphs_->glyph(codePoint);
        if (cell == nullptr) {
            continue;
        }
        if (penX >= width) {
            break;
        }
        if (penX + cell->width > 0) {
            for (int row = 0; row < cell->height; ++row) {
                const int targetY = y + row;
                if (targetY < 0 || targetY >= height) {
                    continue;
                }
                const std::uint8_t* bits = cell->mask.data() + static_cast<std::size_t>(row) * cell->width;
                for (int column = 0; column < cell->width; ++column) {
                    if (bits[column] != 0) {
                        target_.setPixel(penX + column, targetY, ink);
                    }
                }
            }
        }
        penX += cell->width;
    }
}

void DrawContext::rectangle(int left, int top, int right, int bottom) {
    if (log_ != nullptr) {
        log_->rectangles.push_back({{left, top, right, bottom}, brush_});
    }
    if (left > right) {
        std::swap(left, right);
    }
    if (top > bottom) {
        std::swap(top, bottom);
    }
    if (right <= left || bottom <= top) {
        return;
    }
    const std::uint16_t pen = toRgb565(kBlack);
    fillSpan(left, top, right, top + 1, pen);
    fillSpan(left, bottom - 1, right, bottom, pen);
    fillSpan(left, top, left + 1, bottom, pen);
    fillSpan(right - 1, top, right, bottom, pen);
    fillSpan(left + 1, top + 1, right - 1, bottom - 1, toRgb565(brush_));
}

void DrawContext::fillSpan(int left, int top, int right, int bottom, std::uint16_t pixel) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, target_.width());
    bottom = std::min(bottom, target_.height());
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            target_.setPixel(x, y, pixel);
        }
    }
}

}  // namespace kestrane
