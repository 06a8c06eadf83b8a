// surface.cpp -- Surface as a plain pixel vector: clipped copies with and without the key.
#include "client/media/surface.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>

#include "client/media/bitmap_file.h"
#include "platform/message_box.h"
#include "platform/png_writer.h"

namespace kestrane {

Surface::Surface(Surface&& other) noexcept
    : pixels_(std::exchange(other.pixels_, {})),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)) {}

Surface& Surface::operator=(Surface&& other) noexcept {
    if (this != &other) {
        pixels_ = std::exchange(other.pixels_, {});
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
    }
    return *this;
}

bool Surface::create(std::int32_t width, std::int32_t height) {
    release();
    if (width <= 0 || height <= 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide) {
        showMessageBox(kMessageCaption, "표면 생성 실패");
        return false;
    }
    pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    width_ = width;
    height_ = height;
    return true;
}

bool Surface::loadBitmap(const std::string& path) {
    release();
    std::ifstream file(path, std::ios::binary);
    std::vector<std::uint8_t> bytes;
    if (file) {
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    std::optional<Surface> picture;
    if (!file.bad()) {
        picture = decodeBitmap(bytes);
    }
    if (!picture) {
        showMessageBox(kMessageCaption, "그림 읽기 실패");
        return false;
    }
    *this = std::move(*picture);
    return true;
}

void Surface::release() {
    pixels_ = {};
    width_ = 0;
    height_ = 0;
}

int Surface::copyTo(Surface& target, int x, int y, const PixelRect& source, Keying keying) const {
    if (empty() || target.empty() || source.right <= source.left || source.bottom <= source.top) {
        return 0;
    }
    // 64-bit: rectangles and positions may come from a file or a peer.
    std::int64_t fromX = source.left;
    std::int64_t fromY = source.top;
    std::int64_t toX = x;
    std::int64_t toY = y;
    std::int64_t columns = static_cast<std::int64_t>(source.right) - source.left;
    std::int64_t rows = static_cast<std::int64_t>(source.bottom) - source.top;
    // Clip to this picture, moving the destination along with the source's corner...
    if (fromX < 0) {
        columns += fromX;
        toX -= fromX;
        fromX = 0;
    }
    if (fromY < 0) {
        rows += fromY;
        toY -= fromY;
        fromY = 0;
    }
    columns = std::min(columns, width_ - fromX);
    rows = std::min(rows, height_ - fromY);
    // ...then to the target.
    if (toX < 0) {
        columns += toX;
        fromX -= toX;
        toX = 0;
    }
    if (toY < 0) {
        rows += toY;
        fromY -= toY;
        toY = 0;
    }
    columns = std::min(columns, target.width_ - toX);
    rows = std::min(rows, target.height_ - toY);
    if (columns <= 0 || rows <= 0) {
        return 0;
    }
    for (std::int64_t row = 0; row < rows; ++row) {
        const std::uint16_t* from = pixels_.data() + (fromY + row) * width_ + fromX;
        std::uint16_t* to = target.pixels_.data() + (toY + row) * target.width_ + toX;
        if (keying == Keying::None) {
            std::copy_n(from, columns, to);
            continue;
        }
        for (std::int64_t column = 0; column < columns; ++column) {
            if (from[column] != 0) {
                to[column] = from[column];
            }
        }
    }
    return 0;
}

void Surface::fill(std::uint16_t pixel) { std::fill(pixels_.begin(), pixels_.end(), pixel); }

std::optional<std::uint16_t> Surface::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return std::nullopt;
    }
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
}

void Surface::setPixel(int x, int y, std::uint16_t pixel) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;
    }
    pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] = pixel;
}

std::span<std::uint16_t> Surface::row(int y) {
    return std::span(pixels_).subspan(static_cast<std::size_t>(y) * static_cast<std::size_t>(width_),
                                      static_cast<std::size_t>(width_));
}

std::span<const std::uint16_t> Surface::row(int y) const {
    return std::span(pixels_).subspan(static_cast<std::size_t>(y) * static_cast<std::size_t>(width_),
                                      static_cast<std::size_t>(width_));
}

std::vector<std::uint8_t> Surface::toRgba() const {
    std::vector<std::uint8_t> rgba;
    rgba.reserve(pixels_.size() * 4);
    for (const std::uint16_t pixel : pixels_) {
        const Rgb colour = fromRgb565(pixel);
        rgba.insert(rgba.end(), {colour.r, colour.g, colour.b, 255});
    }
    return rgba;
}

bool Surface::savePng(const std::string& path) const { return !empty() && writePngRgba(path, width_, height_, toRgba()); }

}  // namespace kestrane
