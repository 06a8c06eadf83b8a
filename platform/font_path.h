// font_path.h -- where the one font of the game's screens and windows is installed.
#pragma once

namespace kestrane {

// GNU Unifont: at 16 px, 8 px per single-byte character and 16 px per Hangul syllable, as the
// game's text layout expects. On Linux the system's copy (installed by scripts/install-deps.sh);
// on Windows the copy shipped in the game's folder, the programs' working directory.
#ifdef _WIN32
inline constexpr const char* kUnifontPath = "unifont.otf";
#else
inline constexpr const char* kUnifontPath = "/usr/share/fonts/opentype/unifont/unifont.otf";
#endif

}  // namespace kestrane
