// display_window.cpp -- Display::init: the back buffer shown in an SDL window through a streaming texture.
#include <SDL.h>

#include "client/media/display.h"

namespace kestrane {

namespace {

class WindowScreen final : public ScreenOutput {
public:
    WindowScreen(SDL_Renderer* renderer, bool ownsRenderer, int width, int height)
        : renderer_(renderer), ownsRenderer_(ownsRenderer), width_(width), height_(height) {}
    ~WindowScreen() override {
        if (texture_ != nullptr) {
            SDL_DestroyTexture(texture_);
        }
        if (ownsRenderer_) {
            SDL_DestroyRenderer(renderer_);
        }
    }
    WindowScreen(const WindowScreen&) = delete;
    WindowScreen& operator=(const WindowScreen&) = delete;

    bool createTexture() {
        if (texture_ != nullptr) {
            SDL_DestroyTexture(texture_);
        }
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, width_, height_);
        if (texture_ == nullptr) {
            return false;
        }
        // Scaled up to a desktop size, the picture reads better smoothed than blocky.
        SDL_SetTextureScaleMode(texture_, SDL_ScaleModeLinear);
        return true;
    }

    int show(const Surface& picture) override {
        if (texture_ == nullptr || picture.width() != width_ || picture.height() != height_ ||
            SDL_UpdateTexture(texture_, nullptr, picture.pixels().data(), picture.width() * 2) != 0) {
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

private:
    SDL_Renderer* renderer_;
    bool ownsRenderer_;
    int width_;
    int height_;
    SDL_Texture* texture_ = nullptr;
};

}  // namespace

bool Display::init(SDL_Window* window, int width, int height, int bitsPerPixel, WindowMode mode) {
    release();
    if (window == nullptr || width <= 0 || height <= 0 || bitsPerPixel != 16) {
        return false;
    }
    if (mode == WindowMode::FullScreenDesktop) {
        if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
            return false;
        }
    } else {
        SDL_SetWindowFullscreen(window, 0);
        SDL_SetWindowSize(window, width, height);
    }
    SDL_Renderer* renderer = SDL_GetRenderer(window);
    const bool ownsRenderer = renderer == nullptr;
    if (ownsRenderer) {
        renderer = SDL_CreateRenderer(window, -1, 0);
        if (renderer == nullptr) {
            return false;
        }
    }
    auto screen = std::make_unique<WindowScreen>(renderer, ownsRenderer, width, height);
    if (SDL_RenderSetLogicalSize(renderer, width, height) != 0 || !screen->createTexture()) {
        return false;
    }
    return initWithOutput(std::move(screen), width, height, bitsPerPixel);
}

}  // namespace kestrane
