// font_path.h -- where the one font of the game's screens and windows is installed.
#pragma once

namespace kestrane {

// GNU Unifont (installed by scripts/install-deps.sh): at 16 px, 8 px per single-byte
// character and 16 px per Hangul syllable, as the game's text layout expects.
inline constexpr const char* kUnifontPath = "/usr/share/fonts/opentype/unifont/unifont.otf";

}  // namespace kestrane
