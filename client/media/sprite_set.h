// sprite_set.h -- sprite frames, the sprite-set file format ("OWSD1.0") and its loader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "client/media/surface.h"

namespace kestrane {

class Display;

// File layout (little-endian): 8 bytes magic ("OWSD1.0" and one free byte), int32 frameCount,
// uint16 bitsPerPixel (8, 16 or 24); for 8 bits a 1024-byte palette of (red, green, blue,
// unused) entries; then per frame int32 width, height, hotSpotX, hotSpotY and the pixel rows,
// bottom row first, each row filled up to a multiple of 4 bytes. Pixels: a palette index
// (8), a 5-5-5 word (16) or blue, green, red (24).
inline constexpr std::string_view kSpriteMagic = "OWSD1.0";
inline constexpr std::size_t kSpriteHeaderSize = 14;
inline constexpr std::size_t kSpritePaletteSize = 1024;
inline constexpr std::size_t kSpriteFrameHeaderSize = 16;
// Frames wider or taller than this are refused as damaged files.
inline constexpr std::int32_t kMaxSpriteSide = 4096;

// Bytes in one row of a frame's pixels: width x (bitsPerPixel / 8), filled up to a multiple of 4.
constexpr std::int64_t spriteStride(std::int32_t width, int bitsPerPixel) {
    return (static_cast<std::int64_t>(width) * (bitsPerPixel / 8) + 3) & ~std::int64_t{3};
}

// One picture with its anchor point (hot spot). Drawing puts the hot spot at the given screen
// position. A frame without a surface draws nothing. Main thread only.
class SpriteFrame {
public:
    void setGeometry(std::int32_t width, std::int32_t height, std::int32_t hotSpotX, std::int32_t hotSpotY);
    // (Re)creates the surface at width x height; on failure shows "스프라이트 생성 실패"
    // (after the surface's own message) and the frame stays without a surface.
    bool createSurface();

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }
    std::int32_t hotSpotX() const { return hotSpotX_; }
    std::int32_t hotSpotY() const { return hotSpotY_; }
    Surface& surface() { return surface_; }
    const Surface& surface() const { return surface_; }

    // Copies the frame onto the display's back buffer with its hot spot at (x, y), leaving out
    // black (pixel 0) and whatever falls outside the screen.
    void draw(Display& display, int x, int y) const;

private:
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::int32_t hotSpotX_ = 0;
    std::int32_t hotSpotY_ = 0;
    Surface surface_;
};

// A fixed number of frames, zeroed until a set file is loaded into them.
class SpriteSet {
public:
    explicit SpriteSet(std::size_t capacity) : frames_(capacity) {}

    std::size_t size() const { return frames_.size(); }
    // Index must be below size() (a programming error otherwise).
    SpriteFrame& operator[](std::size_t index);
    const SpriteFrame& operator[](std::size_t index) const;
    // The frame at `index`, or null outside the set (indexes that arrive from the network).
    const SpriteFrame* frame(int index) const;
    // Draws frame `index`; an index outside the set draws nothing.
    void draw(Display& display, int index, int x, int y) const;

    std::span<SpriteFrame> frames() { return frames_; }
    auto begin() { return frames_.begin(); }
    auto end() { return frames_.end(); }
    auto begin() const { return frames_.begin(); }
    auto end() const { return frames_.end(); }

private:
    std::vector<SpriteFrame> frames_;
};

// Reads the set file at `path` into `frames`, frame n of the file into frames[n]. Failures
// are shown with the caption "Orvane Works": "Sprite File Open Error" (no file), "Sprite File
// Type Error" (wrong magic, a damaged frame header or a file that ends early: frames already
// read are kept), "Sprite Palette Error". Frames beyond frames.size() are not read. True when
// every frame the file holds (up to the capacity) was read.
bool loadSpriteSet(const std::string& path, std::span<SpriteFrame> frames);
inline bool loadSpriteSet(const std::string& path, SpriteSet& set) { return loadSpriteSet(path, set.frames()); }

// Puts one frame's pixels (rows as in the file, bottom-up) into `surface`, converted to its
// 5-6-5 format, top-down. colourTable: 256 entries of (blue, green, red, 0), used for 8 bits.
// A depth other than 8, 16 or 24, or too few pixel bytes, shows "Sprite Buffer Create Error"
// and leaves the surface as it was. An empty surface is skipped.
void drawDibToSurface(std::int32_t width, std::int32_t height, std::span<const std::uint8_t> colourTable,
                      std::span<const std::uint8_t> pixels, int bitsPerPixel, Surface& surface);

}  // namespace kestrane
