// glyph_cache.cpp -- glyph masks rendered once with SDL2_ttf.
#include "client/media/glyph_cache.h"

#include <SDL_ttf.h>

#include <cstdio>
#include <cstdlib>

#include "platform/text_encoding.h"

namespace kestrane {

namespace {

// Enough for every name and chat line of a busy game; the table is emptied when it fills.
constexpr std::size_t kDecodedTextLimit = 1024;

std::string chooseFontPath(std::string requested) {
    if (!requested.empty()) {
        return requested;
    }
    if (const char* fromEnvironment = std::getenv("KESTRANE_FONT"); fromEnvironment != nullptr && *fromEnvironment) {
        return fromEnvironment;
    }
    return std::string(kDefaultFontPath);
}

}  // namespace

struct GlyphCache::Font {
    TTF_Font* font = nullptr;
    ~Font() {
        if (font != nullptr) {
            TTF_CloseFont(font);
            TTF_Quit();
        }
    }
};

GlyphCache::GlyphCache(std::string fontPath, int pixelSize)
    : fontPath_(chooseFontPath(std::move(fontPath))), pixelSize_(pixelSize) {}

GlyphCache::~GlyphCache() = default;

bool GlyphCache::available() {
    if (!opened_) {
        opened_ = true;
        if (TTF_Init() != 0) {
            std::fprintf(stderr, "text: font engine unavailable (%s); no text will be drawn\n", TTF_GetError());
            return false;
        }
        TTF_Font* font = TTF_OpenFont(fontPath_.c_str(), pixelSize_);
        if (font == nullptr) {
            std::fprintf(stderr, "text: cannot open font %s (%s); no text will be drawn\n", fontPath_.c_str(),
                         TTF_GetError());
            TTF_Quit();
            return false;
        }
        font_ = std::make_unique<Font>();
        font_->font = font;
    }
    return font_ != nullptr;
}

int GlyphCache::lineHeight() { return available() ? TTF_FontHeight(font_->font) : 0; }

const Glyph* GlyphCache::glyph(char32_t codePoint) {
    if (codePoint < 0x20 || codePoint == 0x7F || !available()) {
        return nullptr;
    }
    if (const auto found = glyphs_.find(codePoint); found != glyphs_.end()) {
        return &found->second;
    }
    Glyph& cell = glyphs_[codePoint];
    SDL_Surface* rendered = TTF_RenderGlyph32_Solid(font_->font, static_cast<Uint32>(codePoint), SDL_Color{255, 255, 255, 255});
    if (rendered != nullptr) {
        cell.width = rendered->w;
        cell.height = rendered->h;
        cell.mask.resize(static_cast<std::size_t>(cell.width) * cell.height);
        for (int y = 0; y < cell.height; ++y) {
            const auto* row = static_cast<const std::uint8_t*>(rendered->pixels) + static_cast<std::ptrdiff_t>(y) * rendered->pitch;
            for (int x = 0; x < cell.width; ++x) {
                cell.mask[static_cast<std::size_t>(y) * cell.width + x] = row[x] != 0 ? 1 : 0;
            }
        }
        SDL_FreeSurface(rendered);
    }
    return &cell;
}

const std::u32string& GlyphCache::decodeCp949(std::string_view text) {
    std::string key(text);
    if (const auto found = decoded_.find(key); found != decoded_.end()) {
        return found->second;
    }
    if (decoded_.size() >= kDecodedTextLimit) {
        decoded_.clear();
    }
    return decoded_.emplace(std::move(key), decodeUtf8(cp949ToUtf8(text))).first->second;
}

std::u32string GlyphCache::decodeUtf8(std::string_view text) {
    std::u32string result;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) {
            result.push_back(U'?');
            ++i;
            continue;
        }
        char32_t codePoint = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (int k = 1; k < length; ++k) {
            codePoint = (codePoint << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        result.push_back(codePoint);
        i += static_cast<std::size_t>(length);
    }
    return result;
}

}  // namespace kestrane
