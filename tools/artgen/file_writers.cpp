// file_writers.cpp -- painted canvases and synthesised sound turned into the game's files.
#include "tools/artgen/file_writers.h"

#include <algorithm>
#include <cmath>

#include <array>
#include <cstdint>
#include <map>

#include "tools/media_writers/media_writers.h"

namespace kestrane::art {

namespace {

constexpr std::array<float, 16> kBayer{0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};

// A channel value rounded (with an ordered-dither offset) to `bits` bits, then spread back
// to 8 bits so that dropping the low bits gives the code again.
std::uint8_t quantise(float value, int bits, float dither) {
    const float levels = static_cast<float>((1 << bits) - 1);
    const float scaled = std::clamp(value / 255.0f * levels + dither, 0.0f, levels);
    const auto code = static_cast<unsigned>(scaled + 0.5f);
    return static_cast<std::uint8_t>((code << (8 - bits)) | (code >> (2 * bits - 8)));
}

struct Rgb8 {
    std::uint8_t r = 0, g = 0, b = 0;
    auto operator<=>(const Rgb8&) const = default;
};

// The colour an opaque sprite pixel is stored as: on the 5-5-5 grid, and never one that
// the game's 5-6-5 screen would turn into the transparent 0.
Rgb8 opaqueColour(Colour c) {
    Rgb8 q{quantise(c.r, 5, 0), quantise(c.g, 5, 0), quantise(c.b, 5, 0)};
    if ((q.r >> 3) == 0 && (q.g >> 2) == 0 && (q.b >> 3) == 0) {
        q.b = 8;
    }
    return q;
}

bool opaque(const Canvas& canvas, int x, int y) { return canvas.alpha(x, y) >= 0.5f; }

// The frame's pixels as the sprite-set writer takes them: top-down rows of palette indexes
// (8), 5-5-5 words (16) or 0xRRGGBB (24).
std::vector<std::vector<std::uint32_t>> frameRows(const SpriteImage& frame, int bitsPerPixel,
                                                  const std::map<Rgb8, std::uint8_t>& palette) {
    const Canvas& c = frame.canvas;
    std::vector<std::vector<std::uint32_t>> rows(static_cast<std::size_t>(c.height()));
    for (int y = 0; y < c.height(); ++y) {
        for (int x = 0; x < c.width(); ++x) {
            const Rgb8 colour = opaque(c, x, y) ? opaqueColour(c.colour(x, y)) : Rgb8{};
            std::uint32_t value = 0;
            if (bitsPerPixel == 8) {
                value = opaque(c, x, y) ? palette.at(colour) : 0;
            } else if (bitsPerPixel == 16) {
                value = static_cast<std::uint32_t>(((colour.r >> 3) << 10) | ((colour.g >> 3) << 5) | (colour.b >> 3));
            } else {
                value = (std::uint32_t{colour.r} << 16) | (std::uint32_t{colour.g} << 8) | colour.b;
            }
            rows[static_cast<std::size_t>(y)].push_back(value);
        }
    }
    return rows;
}

}  // namespace

bool writeSpriteSet(const std::string& path, const std::vector<SpriteImage>& frames, int bitsPerPixel) {
    SpriteFileBuilder file(static_cast<std::int32_t>(frames.size()), bitsPerPixel, std::string_view("OWSD1.0\0", 8), 0, 0);
    std::map<Rgb8, std::uint8_t> palette;
    if (bitsPerPixel == 8) {
        for (const SpriteImage& frame : frames) {
            for (int y = 0; y < frame.canvas.height(); ++y) {
                for (int x = 0; x < frame.canvas.width(); ++x) {
                    if (opaque(frame.canvas, x, y)) {
                        palette.emplace(opaqueColour(frame.canvas.colour(x, y)), 0);
                    }
                }
            }
        }
        if (palette.size() > 255) {
            return false;  // the bullet art keeps to few colours; more would need a real quantiser
        }
        std::vector<Rgb> table(1);  // entry 0 stays black: the transparent colour
        for (auto& [colour, index] : palette) {
            index = static_cast<std::uint8_t>(table.size());
            table.push_back({colour.r, colour.g, colour.b});
        }
        file.palette(table);
    }
    for (const SpriteImage& frame : frames) {
        file.frame(frame.hotSpotX, frame.hotSpotY, frameRows(frame, bitsPerPixel, palette));
    }
    return file.write(path);
}

bool writeBmp24(const std::string& path, const Canvas& canvas) {
    std::vector<std::vector<std::uint32_t>> rows(static_cast<std::size_t>(canvas.height()));
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const float dither = kBayer[static_cast<std::size_t>((y & 3) * 4 + (x & 3))] / 16.0f - 0.47f;
            const Colour c = canvas.colour(x, y);
            rows[static_cast<std::size_t>(y)].push_back((std::uint32_t{quantise(c.r, 5, dither)} << 16) |
                                                        (std::uint32_t{quantise(c.g, 6, dither)} << 8) |
                                                        quantise(c.b, 5, dither));
        }
    }
    return kestrane::writeBmp24(path, rows);
}

bool writeWave(const std::string& path, int channels, int sampleRate, int bitsPerSample, const std::vector<float>& samples) {
    const int bytesPerSample = bitsPerSample / 8;
    Bytes bytes;
    for (const float sample : samples) {
        const float v = std::clamp(sample, -1.0f, 1.0f);
        if (bitsPerSample == 8) {
            bytes.push_back(static_cast<std::uint8_t>(std::lround(128.0f + v * 127.0f)));
        } else {
            appendU16(bytes, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v * 32767.0f))));
        }
    }
    const WaveFields fields{static_cast<std::uint16_t>(channels), static_cast<std::uint32_t>(sampleRate),
                            static_cast<std::uint16_t>(channels * bytesPerSample),
                            static_cast<std::uint16_t>(bitsPerSample), 0};
    return kestrane::writeWave(path, fields, bytes);
}

}  // namespace kestrane::art
