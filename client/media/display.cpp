// display.cpp -- Display on an SDL window, renderer and streaming texture.
#include "client/media/display.h"

#include <SDL.h>

namespace kestrane {

Display::Display() = default;

Display::~Display() { release(); }

bool Display::init(SDL_Window* window, int width, int height, int bitsPerPixel, WindowMode mode) {
    release();
    if (window == nullptr || width <= 0 || height <= 0 || bitsPerPixel != 16) {
        return false;
    }
    window_ = window;
    if (mode == WindowMode::FullScreenDesktop) {
        if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
            release();
            return false;
        }
    } else {
        SDL_SetWindowFullscreen(window, 0);
        SDL_SetWindowSize(window, width, height);
    }
    renderer_ = SDL_GetRenderer(window);
    if (renderer_ == nullptr) {
        renderer_ = SDL_CreateRenderer(window, -1, 0);
        ownsRenderer_ = renderer_ != nullptr;
    }
    if (renderer_ == nullptr || SDL_RenderSetLogicalSize(renderer_, width, height) != 0) {
        release();
        return false;
    }
    screenRect_ = {0, 0, width, height};
    if (!createTexture() || !backBuffer_.create(width, height)) {
        release();
        return false;
    }
    presentCount_ = 0;
    return true;
}

bool Display::initOffscreen(int width, int height, int bitsPerPixel) {
    release();
    if (width <= 0 || height <= 0 || bitsPerPixel != 16 || !backBuffer_.create(width, height)) {
        release();
        return false;
    }
    screenRect_ = {0, 0, width, height};
    presentCount_ = 0;
    return true;
}

bool Display::createTexture() {
    if (texture_ != nullptr) {
        SDL_DestroyTexture(texture_);
    }
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, screenRect_.right,
                                 screenRect_.bottom);
    if (texture_ == nullptr) {
        return false;
    }
    // Scaled up to a desktop size, the picture reads better smoothed than blocky.
    SDL_SetTextureScaleMode(texture_, SDL_ScaleModeLinear);
    return true;
}

void Display::release() {
    backBuffer_.release();
    if (texture_ != nullptr) {
        SDL_DestroyTexture(texture_);
        texture_ = nullptr;
    }
    if (renderer_ != nullptr && ownsRenderer_) {
        SDL_DestroyRenderer(renderer_);
    }
    renderer_ = nullptr;
    ownsRenderer_ = false;
    window_ = nullptr;
    screenRect_ = {};
}

int Display::present() {
    ++presentCount_;
    if (log_ != nullptr) {
        ++log_->presents;
    }
    if (renderer_ == nullptr || backBuffer_.empty()) {
        return 0;
    }
    if (texture_ == nullptr || SDL_UpdateTexture(texture_, nullptr, backBuffer_.sdlSurface()->pixels,
                                                 backBuffer_.sdlSurface()->pitch) != 0) {
        // The renderer dropped its textures (device reset): make the texture again and skip.
        return createTexture() ? 0 : -1;
    }
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    if (const int cleared = SDL_RenderClear(renderer_); cleared != 0) {
        return cleared;
    }
    if (const int copied = SDL_RenderCopy(renderer_, texture_, nullptr, nullptr); copied != 0) {
        return copied;
    }
    SDL_RenderPresent(renderer_);
    return 0;
}

std::optional<DrawContext> Display::getDC() {
    if (backBuffer_.empty()) {
        return std::nullopt;
    }
    return DrawContext(backBuffer_, &glyphs_, log_);
}

bool Display::saveScreenshot(const std::string& path) const { return backBuffer_.savePng(path); }

}  // namespace kestrane
