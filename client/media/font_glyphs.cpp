// font_glyphs.cpp -- glyph masks rendered once with SDL2_ttf.
#include "client/media/font_glyphs.h"

#include <SDL_ttf.h>

#include <cstdio>
#include <cstdlib>

namespace kestrane {

namespace {

std::string chooseFontPath(std::string requested) {
    if (!requested.empty()) {
        return requested;
    }
    if (const char* fromEnvironment = std::getenv("KESTRANE_FONT"); fromEnvironment != nullptr && *fromEnvironment) {
        return fromEnvironment;
    }
    return unifontPath();
}

class FontGlyphs final : public GlyphSource {
public:
    FontGlyphs(std::string fontPath, int pixelSize) : fontPath_(std::move(fontPath)), pixelSize_(pixelSize) {}
    ~FontGlyphs() override {
        if (font_ != nullptr) {
            TTF_CloseFont(font_);
            TTF_Quit();
        }
    }
    FontGlyphs(const FontGlyphs&) = delete;
    FontGlyphs& operator=(const FontGlyphs&) = delete;

    bool available() override {
        if (!opened_) {
            opened_ = true;
            if (TTF_Init() != 0) {
                std::fprintf(stderr, "text: font engine unavailable (%s); no text will be drawn\n", TTF_GetError());
                return false;
            }
            font_ = TTF_OpenFont(fontPath_.c_str(), pixelSize_);
            if (font_ == nullptr) {
                std::fprintf(stderr, "text: cannot open font %s (%s); no text will be drawn\n", fontPath_.c_str(),
                             TTF_GetError());
                TTF_Quit();
            }
        }
        return font_ != nullptr;
    }

    int lineHeight() override { return available() ? TTF_FontHeight(font_) : 0; }

    Glyph render(char32_t codePoint) override {
        Glyph cell;
        if (!available()) {
            return cell;
        }
        SDL_Surface* rendered = TTF_RenderGlyph32_Solid(font_, static_cast<Uint32>(codePoint), SDL_Color{255, 255, 255, 255});
        if (rendered == nullptr) {
            return cell;
        }
        cell.width = rendered->w;
        cell.height = rendered->h;
        cell.mask.resize(static_cast<std::size_t>(cell.width) * static_cast<std::size_t>(cell.height));
        for (int y = 0; y < cell.height; ++y) {
            const auto* row = static_cast<const std::uint8_t*>(rendered->pixels) + static_cast<std::ptrdiff_t>(y) * rendered->pitch;
            for (int x = 0; x < cell.width; ++x) {
                cell.mask[static_cast<std::size_t>(y) * static_cast<std::size_t>(cell.width) + static_cast<std::size_t>(x)] =
                    row[x] != 0 ? 1 : 0;
            }
        }
        SDL_FreeSurface(rendered);
        return cell;
    }

private:
    std::string fontPath_;
    int pixelSize_;
    bool opened_ = false;
    TTF_Font* font_ = nullptr;
};

}  // namespace

std::unique_ptr<GlyphSource> openFontGlyphs(std::string fontPath, int pixelSize) {
    return std::make_unique<FontGlyphs>(chooseFontPath(std::move(fontPath)), pixelSize);
}

}  // namespace kestrane
