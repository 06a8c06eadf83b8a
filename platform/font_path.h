// font_path.h -- where the one font of the game's screens and windows is installed.
#pragma once

#include <string>

namespace kestrane {

// GNU Unifont: at 16 px, 8 px per single-byte character and 16 px per Hangul syllable, as the
// game's text layout expects. On Linux the system's copy (installed by scripts/install-deps.sh);
// on Windows the copy that travels with the game, beside the programs (or, failing that, in
// the working directory). A UTF-8 path.
std::string unifontPath();

}  // namespace kestrane
