// bitmap_file.h -- reading BMP pictures (the background) into 5-6-5 surfaces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "client/media/surface.h"

namespace kestrane {

// Files larger than this are not read (a 800 x 600 background takes 1.4 MB).
inline constexpr std::size_t kMaxBitmapFileBytes = std::size_t{256} << 20;

// The picture a whole BMP file holds, or nothing when it is not one this reader takes: a
// "BM" file with a 12-byte core header or an information header of 40 bytes or more, one
// plane, 1, 4 or 8 bits per pixel with a colour table, or 16, 24 or 32 bits, uncompressed
// (or with bit-field masks for 16 and 32 bits), rows bottom-up or top-down, every pixel row
// inside the file. Colours keep the top 5-6-5 bits of their channels; a 16-bit pixel without
// masks is 5-5-5. Shows no message (the caller does).
std::optional<Surface> decodeBitmap(std::span<const std::uint8_t> file);

}  // namespace kestrane
