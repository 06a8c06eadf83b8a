// surface.h -- an off-screen picture in the game's 5-6-5 pixel format, with colour key 0.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "client/media/pixel.h"

struct SDL_Surface;

namespace kestrane {

// Whether a copy leaves out the source pixels of value 0 (the colour key).
enum class Keying { None, SourceColorKey };

// Owns one RGB565 picture. Empty (no picture, width and height 0) when new, after release()
// and after a failed create(); an empty Surface is never drawn from or into: every operation
// on it does nothing. Move-only. Main thread only.
class Surface {
public:
    Surface() = default;
    ~Surface();
    Surface(Surface&& other) noexcept;
    Surface& operator=(Surface&& other) noexcept;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // (Re)creates the picture at width x height pixels, all 0, colour key 0. Releases the old
    // picture first. On failure shows "표면 생성 실패" and stays empty.
    bool create(std::int32_t width, std::int32_t height);
    // Loads a BMP file (any depth the platform reads) into a new picture of its size.
    // On failure shows "그림 읽기 실패" when the file cannot be read, and stays empty.
    bool loadBitmap(const std::string& path);
    void release();

    bool empty() const { return surface_ == nullptr; }
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }

    // Copies `source` (clipped to this picture) to `target` with its top-left corner at (x, y);
    // the target clips as well. Returns 0, or the platform's negative code.
    int copyTo(Surface& target, int x, int y, const PixelRect& source, Keying keying) const;

    void fill(std::uint16_t pixel);
    // The pixel at (x, y), or nothing outside the picture.
    std::optional<std::uint16_t> pixel(int x, int y) const;
    void setPixel(int x, int y, std::uint16_t pixel);
    // Rows top-down, R, G, B, A (A always 255); empty when there is no picture.
    std::vector<std::uint8_t> toRgba() const;
    bool savePng(const std::string& path) const;

    // The picture, for the media layer's own code; null when empty.
    SDL_Surface* sdlSurface() const { return surface_; }

private:
    SDL_Surface* surface_ = nullptr;
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
};

}  // namespace kestrane
