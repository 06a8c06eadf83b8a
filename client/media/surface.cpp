// surface.cpp -- Surface on SDL software surfaces.
#include "client/media/surface.h"

#include <SDL.h>

#include <utility>

#include "client/media/debug_text.h"
#include "platform/message_box.h"
#include "platform/png_writer.h"

namespace kestrane {

Surface::~Surface() { release(); }

Surface::Surface(Surface&& other) noexcept
    : surface_(std::exchange(other.surface_, nullptr)),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)) {}

Surface& Surface::operator=(Surface&& other) noexcept {
    if (this != &other) {
        release();
        surface_ = std::exchange(other.surface_, nullptr);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
    }
    return *this;
}

bool Surface::create(std::int32_t width, std::int32_t height) {
    release();
    if (width > 0 && height > 0) {
        surface_ = SDL_CreateRGBSurfaceWithFormat(0, width, height, 16, SDL_PIXELFORMAT_RGB565);
    }
    if (surface_ == nullptr) {
        showMessageBox(kMessageCaption, "표면 생성 실패");
        return false;
    }
    width_ = width;
    height_ = height;
    SDL_SetColorKey(surface_, SDL_TRUE, 0);
    return true;
}

bool Surface::loadBitmap(const std::string& path) {
    SDL_Surface* bitmap = SDL_LoadBMP(path.c_str());
    if (bitmap == nullptr) {
        showMessageBox(kMessageCaption, "그림 읽기 실패");
        return false;
    }
    if (!create(bitmap->w, bitmap->h)) {
        SDL_FreeSurface(bitmap);
        return false;
    }
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(bitmap, SDL_PIXELFORMAT_RGB565, 0);
    SDL_FreeSurface(bitmap);
    if (converted == nullptr) {
        debugText(" CreateCompatibleDC(NULL);\n");
        release();
        return false;
    }
    SDL_SetSurfaceBlendMode(converted, SDL_BLENDMODE_NONE);
    const int copied = SDL_BlitSurface(converted, nullptr, surface_, nullptr);
    SDL_FreeSurface(converted);
    if (copied != 0) {
        debugText("m_lpDDrawSurface->GetDC\n");
        release();
        return false;
    }
    return true;
}

void Surface::release() {
    if (surface_ != nullptr) {
        SDL_FreeSurface(surface_);
        surface_ = nullptr;
    }
    width_ = 0;
    height_ = 0;
}

int Surface::copyTo(Surface& target, int x, int y, const PixelRect& source, Keying keying) const {
    if (surface_ == nullptr || target.surface_ == nullptr || source.right <= source.left ||
        source.bottom <= source.top) {
        return 0;
    }
    const bool keyed = keying == Keying::SourceColorKey;
    if ((SDL_HasColorKey(surface_) == SDL_TRUE) != keyed) {
        SDL_SetColorKey(surface_, keyed ? SDL_TRUE : SDL_FALSE, 0);
    }
    SDL_Rect from{source.left, source.top, source.right - source.left, source.bottom - source.top};
    SDL_Rect to{x, y, 0, 0};
    return SDL_BlitSurface(surface_, &from, target.surface_, &to);
}

void Surface::fill(std::uint16_t pixel) {
    if (surface_ != nullptr) {
        SDL_FillRect(surface_, nullptr, pixel);
    }
}

std::optional<std::uint16_t> Surface::pixel(int x, int y) const {
    if (surface_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) {
        return std::nullopt;
    }
    const auto* row = static_cast<const std::uint8_t*>(surface_->pixels) + static_cast<std::ptrdiff_t>(y) * surface_->pitch;
    return reinterpret_cast<const std::uint16_t*>(row)[x];
}

void Surface::setPixel(int x, int y, std::uint16_t pixel) {
    if (surface_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;
    }
    auto* row = static_cast<std::uint8_t*>(surface_->pixels) + static_cast<std::ptrdiff_t>(y) * surface_->pitch;
    reinterpret_cast<std::uint16_t*>(row)[x] = pixel;
}

std::vector<std::uint8_t> Surface::toRgba() const {
    std::vector<std::uint8_t> rgba;
    if (surface_ == nullptr) {
        return rgba;
    }
    rgba.reserve(static_cast<std::size_t>(width_) * height_ * 4);
    for (int y = 0; y < height_; ++y) {
        const auto* row = reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(surface_->pixels) +
                                                                 static_cast<std::ptrdiff_t>(y) * surface_->pitch);
        for (int x = 0; x < width_; ++x) {
            const Rgb colour = fromRgb565(row[x]);
            rgba.insert(rgba.end(), {colour.r, colour.g, colour.b, 255});
        }
    }
    return rgba;
}

bool Surface::savePng(const std::string& path) const {
    return surface_ != nullptr && writePngRgba(path, width_, height_, toRgba());
}

}  // namespace kestrane
