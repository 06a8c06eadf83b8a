// glyph_cache.h -- the game's text font (GNU Unifont, 16 px) as cached one-bit glyph masks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/font_path.h"

namespace kestrane {

// The font file used unless KESTRANE_FONT names another one.
inline constexpr std::string_view kDefaultFontPath = kUnifontPath;
inline constexpr int kTextPixelSize = 16;

// One character cell: `width` x `height` bytes, 1 where the character has ink. Cells are
// drawn side by side from the top-left corner of the text (8 px for a single-byte character
// and 16 px for a Hangul syllable, so 8 px per code page 949 byte).
struct Glyph {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> mask;
};

// Opens the font on first use; when it cannot be opened, says so once on stderr and every
// glyph is missing (text draws nothing). Main thread only.
class GlyphCache {
public:
    explicit GlyphCache(std::string fontPath = {}, int pixelSize = kTextPixelSize);
    ~GlyphCache();
    GlyphCache(const GlyphCache&) = delete;
    GlyphCache& operator=(const GlyphCache&) = delete;

    bool available();
    // The cell of `codePoint`, or null without a font or for a control character.
    const Glyph* glyph(char32_t codePoint);
    int lineHeight();

    // Code page 949 text as code points; the conversions of recent texts are kept, since the
    // world draws the same names and chat lines every frame.
    const std::u32string& decodeCp949(std::string_view text);
    static std::u32string decodeUtf8(std::string_view text);

private:
    struct Font;
    std::string fontPath_;
    int pixelSize_;
    std::unique_ptr<Font> font_;
    bool opened_ = false;
    std::unordered_map<char32_t, Glyph> glyphs_;
    std::unordered_map<std::string, std::u32string> decoded_;
};

}  // namespace kestrane
