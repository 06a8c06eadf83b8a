// display.cpp -- Display: the back buffer, its drawing context and screenshots, and an output to show it.
#include "client/media/display.h"

namespace kestrane {

Display::Display() = default;

Display::~Display() { release(); }

bool Display::initOffscreen(int width, int height, int bitsPerPixel) {
    return initWithOutput(nullptr, width, height, bitsPerPixel);
}

bool Display::initWithOutput(std::unique_ptr<ScreenOutput> output, int width, int height, int bitsPerPixel) {
    release();
    if (width <= 0 || height <= 0 || bitsPerPixel != 16 || !backBuffer_.create(width, height)) {
        release();
        return false;
    }
    output_ = std::move(output);
    screenRect_ = {0, 0, width, height};
    presentCount_ = 0;
    return true;
}

void Display::release() {
    backBuffer_.release();
    output_.reset();
    screenRect_ = {};
}

int Display::present() {
    ++presentCount_;
    if (log_ != nullptr) {
        ++log_->presents;
    }
    if (output_ == nullptr || backBuffer_.empty()) {
        return 0;
    }
    return output_->show(backBuffer_);
}

std::optional<DrawContext> Display::getDC() {
    if (backBuffer_.empty()) {
        return std::nullopt;
    }
    return DrawContext(backBuffer_, &glyphs_, log_);
}

bool Display::saveScreenshot(const std::string& path) const { return backBuffer_.savePng(path); }

}  // namespace kestrane
