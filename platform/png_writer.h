// png_writer.h -- saving pictures (screenshots, contact sheets) as PNG files.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kestrane {

// Writes `pixels` (rows top-down, 4 bytes per pixel in R, G, B, A order, `width` * 4 bytes
// a row) to `path`. False when the file cannot be written.
bool writePngRgba(const std::string& path, int width, int height, std::span<const std::uint8_t> pixels);

// A file name for a screenshot taken now: "<prefix>-YYYYMMDD-HHMMSS-mmm.png".
std::string timestampedPngName(const std::string& prefix);

}  // namespace kestrane
