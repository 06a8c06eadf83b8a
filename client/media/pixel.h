// pixel.h -- colours, the RGB565 pixel format of every game surface, and pixel rectangles.
#pragma once

#include <cstdint>

#include "client/world/sprite_sizes.h"

namespace kestrane {

// An 8-bit-per-channel colour, as the game names colours (text colour, brush, palette entry).
struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend constexpr bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};

// Every surface holds 16-bit pixels laid out 5-6-5 (red in the top bits). Pixel value 0 is
// the transparent colour of keyed copies; converting drops the low bits, so a colour darker
// than (8, 4, 8) becomes 0 as well.
constexpr std::uint16_t toRgb565(Rgb colour) {
    return static_cast<std::uint16_t>(((colour.r >> 3) << 11) | ((colour.g >> 2) << 5) | (colour.b >> 3));
}

// The colour a 5-6-5 pixel shows, with the low bits filled in so white stays 255.
constexpr Rgb fromRgb565(std::uint16_t pixel) {
    const unsigned r = (pixel >> 11) & 0x1F;
    const unsigned g = (pixel >> 5) & 0x3F;
    const unsigned b = pixel & 0x1F;
    return {static_cast<std::uint8_t>((r << 3) | (r >> 2)), static_cast<std::uint8_t>((g << 2) | (g >> 4)),
            static_cast<std::uint8_t>((b << 3) | (b >> 2))};
}

// A 5-5-5 word (bit 15 ignored) as a 5-6-5 pixel. Non-black words never become 0.
constexpr std::uint16_t rgb555To565(std::uint16_t word) {
    const unsigned r = (word >> 10) & 0x1F;
    const unsigned g = (word >> 5) & 0x1F;
    const unsigned b = word & 0x1F;
    return static_cast<std::uint16_t>((r << 11) | (((g << 1) | (g >> 4)) << 5) | b);
}

// A rectangle in pixels, right and bottom exclusive: the world's own type.
using PixelRect = PixelBox;

}  // namespace kestrane
