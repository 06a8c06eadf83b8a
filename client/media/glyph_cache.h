// glyph_cache.h -- the game's text as cached one-bit glyph masks, from whatever draws glyphs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestrane {

inline constexpr int kTextPixelSize = 16;

// One character cell: `width` x `height` bytes, 1 where the character has ink. Cells are
// drawn side by side from the top-left corner of the text (8 px for a single-byte character
// and 16 px for a Hangul syllable, so 8 px per code page 949 byte).
struct Glyph {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> mask;
};

// Where glyphs come from: the game's font on the media edge (font_glyphs.h), or anything a
// test draws by hand.
class GlyphSource {
public:
    virtual ~GlyphSource() = default;
    // False when no glyph can ever come (the font could not be opened).
    virtual bool available() = 0;
    virtual int lineHeight() = 0;
    // The cell of a printable code point; an empty cell for one the source lacks.
    virtual Glyph render(char32_t codePoint) = 0;
};

// Glyphs asked for once are kept. Without a source (headless: bots, tests, servers) every
// glyph is missing and text draws nothing. Main thread only.
class GlyphCache {
public:
    explicit GlyphCache(std::unique_ptr<GlyphSource> source = nullptr);
    ~GlyphCache();
    GlyphCache(const GlyphCache&) = delete;
    GlyphCache& operator=(const GlyphCache&) = delete;

    // Draws from `source` from now on (null: nothing), forgetting the glyphs of the old one.
    void setSource(std::unique_ptr<GlyphSource> source);

    bool available();
    // The cell of `codePoint`, or null without a source or for a control character.
    const Glyph* glyph(char32_t codePoint);
    int lineHeight();

    // Code page 949 text as code points; the conversions of recent texts are kept, since the
    // world draws the same names and chat lines every frame.
    const std::u32string& decodeCp949(std::string_view text);
    static std::u32string decodeUtf8(std::string_view text);

private:
    std::unique_ptr<GlyphSource> source_;
    std::unordered_map<char32_t, Glyph> glyphs_;
    std::unordered_map<std::string, std::u32string> decoded_;
};

}  // namespace kestrane
