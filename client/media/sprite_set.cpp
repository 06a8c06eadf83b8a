// sprite_set.cpp -- the sprite-set loader, frame conversion and clipped, keyed frame drawing.
#include "client/media/sprite_set.h"


#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "client/media/debug_text.h"
#include "client/media/display.h"
#include "client/media/pixel.h"
#include "common/little_endian.h"
#include "platform/message_box.h"

namespace kestrane {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool readExactly(std::FILE* file, void* into, std::size_t size) {
    return size == 0 || std::fread(into, 1, size, file) == size;
}

// Bytes between the read position and the end of the file; 0 when that cannot be told.
std::size_t bytesLeft(std::FILE* file) {
    const long position = std::ftell(file);
    if (position < 0 || std::fseek(file, 0, SEEK_END) != 0) {
        return 0;
    }
    const long end = std::ftell(file);
    if (std::fseek(file, position, SEEK_SET) != 0 || end < position) {
        return 0;
    }
    return static_cast<std::size_t>(end - position);
}

bool fail(std::string_view message) {
    showMessageBox(kMessageCaption, message);
    return false;
}

std::uint16_t convertPixel(const std::uint8_t* at, int bitsPerPixel, std::span<const std::uint8_t> colourTable) {
    switch (bitsPerPixel) {
        case 8: {
            const std::uint8_t* entry = colourTable.data() + static_cast<std::size_t>(*at) * 4;  // blue, green, red, 0
            return toRgb565({entry[2], entry[1], entry[0]});
        }
        case 16:
            return rgb555To565(readU16(at));
        default:
            return toRgb565({at[2], at[1], at[0]});
    }
}

}  // namespace

void SpriteFrame::setGeometry(std::int32_t width, std::int32_t height, std::int32_t hotSpotX, std::int32_t hotSpotY) {
    width_ = width;
    height_ = height;
    hotSpotX_ = hotSpotX;
    hotSpotY_ = hotSpotY;
}

bool SpriteFrame::createSurface() {
    surface_.release();
    if (!surface_.create(width_, height_)) {
        showMessageBox(kMessageCaption, "스프라이트 생성 실패");
        return false;
    }
    return true;
}

void SpriteFrame::draw(Display& display, int x, int y) const {
    if (DrawLog* log = display.drawLog(); log != nullptr) {
        log->sprites.push_back({this, x, y});
    }
    // 64-bit, so that no hot spot from a file can overflow the arithmetic.
    const std::int64_t dx = static_cast<std::int64_t>(x) - hotSpotX_;
    const std::int64_t dy = static_cast<std::int64_t>(y) - hotSpotY_;
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = width_;
    std::int64_t bottom = height_;
    if (dx < 0) {
        left = -dx;
    }
    if (dy < 0) {
        top = -dy;
    }
    if (dx + width_ > display.screenWidth()) {
        right = display.screenWidth() - dx;
    }
    if (dy + height_ > display.screenHeight()) {
        bottom = display.screenHeight() - dy;
    }
    if (!(left < width_ && right > 0 && top < height_ && bottom > 0)) {
        return;
    }
    const PixelRect source{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                           static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
    surface_.copyTo(display.backBuffer(), static_cast<int>(dx + left), static_cast<int>(dy + top), source,
                    Keying::SourceColorKey);
}

SpriteFrame& SpriteSet::operator[](std::size_t index) {
    assert(index < frames_.size());
    return frames_[index];
}

const SpriteFrame& SpriteSet::operator[](std::size_t index) const {
    assert(index < frames_.size());
    return frames_[index];
}

const SpriteFrame* SpriteSet::frame(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= frames_.size()) {
        return nullptr;
    }
    return &frames_[static_cast<std::size_t>(index)];
}

void SpriteSet::draw(Display& display, int index, int x, int y) const {
    if (const SpriteFrame* chosen = frame(index); chosen != nullptr) {
        chosen->draw(display, x, y);
    }
}

bool loadSpriteSet(const std::string& path, std::span<SpriteFrame> frames) {
    // Read-only: the data files may be installed where the player cannot write.
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return fail("Sprite File Open Error");
    }
    std::uint8_t header[kSpriteHeaderSize];
    if (!readExactly(file.get(), header, 8) || std::memcmp(header, kSpriteMagic.data(), kSpriteMagic.size()) != 0 ||
        !readExactly(file.get(), header + 8, kSpriteHeaderSize - 8)) {
        return fail("Sprite File Type Error");
    }
    const std::int32_t frameCount = readI32(header + 8);
    const int bitsPerPixel = readU16(header + 12);

    std::unique_ptr<std::uint8_t[]> colourTable;
    std::span<const std::uint8_t> colours;
    if (bitsPerPixel == 8) {
        colourTable.reset(new (std::nothrow) std::uint8_t[kSpritePaletteSize]);
        if (!colourTable) {
            return fail("Sprite Palette Error");
        }
        std::uint8_t palette[kSpritePaletteSize];
        if (!readExactly(file.get(), palette, sizeof palette)) {
            return fail("Sprite File Type Error");
        }
        for (std::size_t entry = 0; entry < 256; ++entry) {
            colourTable[entry * 4 + 0] = palette[entry * 4 + 2];
            colourTable[entry * 4 + 1] = palette[entry * 4 + 1];
            colourTable[entry * 4 + 2] = palette[entry * 4 + 0];
            colourTable[entry * 4 + 3] = 0;
        }
        colours = {colourTable.get(), kSpritePaletteSize};
    }

    if (frameCount > 0 && static_cast<std::size_t>(frameCount) > frames.size()) {
        debugText("sprite set holds more frames than its table; the rest are not read\n");
    }
    const std::int64_t count = std::min<std::int64_t>(frameCount, static_cast<std::int64_t>(frames.size()));
    for (std::int64_t i = 0; i < count; ++i) {
        std::uint8_t record[kSpriteFrameHeaderSize];
        if (!readExactly(file.get(), record, sizeof record)) {
            return fail("Sprite File Type Error");
        }
        const std::int32_t width = readI32(record);
        const std::int32_t height = readI32(record + 4);
        if (width <= 0 || height <= 0 || width > kMaxSpriteSide || height > kMaxSpriteSide) {
            return fail("Sprite File Type Error");
        }
        const auto size = static_cast<std::size_t>(spriteStride(width, bitsPerPixel) * height);
        // A damaged depth can make a frame announce gigabytes; the file cannot hold them.
        if (size > bytesLeft(file.get())) {
            return fail("Sprite File Type Error");
        }
        std::unique_ptr<std::uint8_t[]> pixels(new (std::nothrow) std::uint8_t[std::max<std::size_t>(size, 1)]);
        if (!pixels || !readExactly(file.get(), pixels.get(), size)) {
            return fail("Sprite File Type Error");
        }
        SpriteFrame& frame = frames[static_cast<std::size_t>(i)];
        frame.setGeometry(width, height, readI32(record + 8), readI32(record + 12));
        frame.createSurface();
        drawDibToSurface(width, height, colours, {pixels.get(), size}, bitsPerPixel, frame.surface());
    }
    return true;
}

void drawDibToSurface(std::int32_t width, std::int32_t height, std::span<const std::uint8_t> colourTable,
                      std::span<const std::uint8_t> pixels, int bitsPerPixel, Surface& surface) {
    if (surface.empty() || width <= 0 || height <= 0) {
        return;
    }
    const std::int64_t stride = spriteStride(width, bitsPerPixel);
    const bool knownDepth = bitsPerPixel == 8 || bitsPerPixel == 16 || bitsPerPixel == 24;
    if (!knownDepth || static_cast<std::int64_t>(pixels.size()) < stride * height ||
        (bitsPerPixel == 8 && colourTable.size() < kSpritePaletteSize)) {
        showMessageBox(kMessageCaption, "Sprite Buffer Create Error");
        return;
    }
    const int bytesPerPixel = bitsPerPixel / 8;
    const int columns = std::min(width, surface.width());
    const int rows = std::min(height, surface.height());
    for (int y = 0; y < rows; ++y) {
        const std::uint8_t* from = pixels.data() + (height - 1 - y) * stride;  // rows are stored bottom-up
        const std::span<std::uint16_t> to = surface.row(y);
        for (int x = 0; x < columns; ++x) {
            to[static_cast<std::size_t>(x)] = convertPixel(from + x * bytesPerPixel, bitsPerPixel, colourTable);
        }
    }
}

}  // namespace kestrane
