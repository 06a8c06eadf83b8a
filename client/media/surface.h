// surface.h -- an off-screen picture in the game's 5-6-5 pixel format, with colour key 0.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "client/media/pixel.h"

namespace kestrane {

// Whether a copy leaves out the source pixels of value 0 (the colour key).
enum class Keying { None, SourceColorKey };

// The largest side a picture may have (a 16384 x 16384 picture takes 512 MiB).
inline constexpr std::int32_t kMaxSurfaceSide = 16384;

// Owns one RGB565 picture: width x height pixels, rows top-down with no gaps. Empty (no
// picture, width and height 0) when new, after release() and after a failed create(); an empty
// Surface is never drawn from or into: every operation on it does nothing. Move-only. Main
// thread only.
class Surface {
public:
    Surface() = default;
    Surface(Surface&& other) noexcept;
    Surface& operator=(Surface&& other) noexcept;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // (Re)creates the picture at width x height pixels, all 0. Releases the old picture first.
    // Sides above kMaxSurfaceSide or not positive show "표면 생성 실패" and leave it empty.
    bool create(std::int32_t width, std::int32_t height);
    // Loads an uncompressed BMP file (1, 4, 8, 16, 24 or 32 bits per pixel) into a new picture
    // of its size. When the file cannot be read or is not such a BMP, shows "그림 읽기 실패"
    // and stays empty.
    bool loadBitmap(const std::string& path);
    void release();

    bool empty() const { return pixels_.empty(); }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }

    // Copies `source` (clipped to this picture) to `target` with its top-left corner at (x, y);
    // the target clips as well. Always 0: a copy cannot fail (the value is the platform code
    // the callers were written against).
    int copyTo(Surface& target, int x, int y, const PixelRect& source, Keying keying) const;

    void fill(std::uint16_t pixel);
    // The pixel at (x, y), or nothing outside the picture.
    std::optional<std::uint16_t> pixel(int x, int y) const;
    void setPixel(int x, int y, std::uint16_t pixel);
    // Row y (0 <= y < height), for code that converts whole rows.
    std::span<std::uint16_t> row(int y);
    std::span<const std::uint16_t> row(int y) const;
    // Every pixel, rows top-down; bytes per row are width x 2.
    std::span<const std::uint16_t> pixels() const { return pixels_; }
    // Rows top-down, R, G, B, A (A always 255); empty when there is no picture.
    std::vector<std::uint8_t> toRgba() const;
    bool savePng(const std::string& path) const;

private:
    std::vector<std::uint16_t> pixels_;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
};

}  // namespace kestrane
