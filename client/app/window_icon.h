// window_icon.h -- the program's icon, drawn from code: the window icon and the desktop entry's picture.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrane {

inline constexpr int kIconSize = 64;  // pixels, square

// The icon as RGBA bytes, rows top-down, kIconSize * kIconSize * 4 bytes: a kestrel's head
// in profile on a round arena-green badge, transparent outside the badge.
std::vector<std::uint8_t> windowIconPixels();

// The same picture at `size` x `size` pixels (size > 0), for the desktop's icon sizes.
std::vector<std::uint8_t> iconPixels(int size);

}  // namespace kestrane
