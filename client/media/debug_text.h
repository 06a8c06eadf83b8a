// debug_text.h -- texts for developers that a player never sees (written in debug builds only).
#pragma once

#include <string_view>

namespace kestrane {

void debugText(std::string_view text);

}  // namespace kestrane
