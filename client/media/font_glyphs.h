// font_glyphs.h -- glyphs rendered from the game's text font (GNU Unifont, 16 px) with SDL2_ttf.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "client/media/glyph_cache.h"
#include "platform/font_path.h"

namespace kestrane {

// The font at `fontPath` (KESTRANE_FONT, or else unifontPath(), when empty), opened on first use;
// when it cannot be opened, says so once on stderr and has no glyphs (text draws nothing).
std::unique_ptr<GlyphSource> openFontGlyphs(std::string fontPath = {}, int pixelSize = kTextPixelSize);

}  // namespace kestrane
