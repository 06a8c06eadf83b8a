// file_writers.cpp -- sprite sets, BMP and WAV encoders for the artwork generator.
#include "tools/artgen/file_writers.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <map>

namespace kestrane::art {

namespace {

using Bytes = std::vector<std::uint8_t>;

void u16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void u32(Bytes& out, std::uint32_t v) {
    u16(out, v & 0xFFFF);
    u16(out, v >> 16);
}

bool save(const std::string& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

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

Bytes frameRows(const SpriteImage& frame, int bitsPerPixel, const std::map<Rgb8, std::uint8_t>& palette) {
    const Canvas& c = frame.canvas;
    const int bytesPerPixel = bitsPerPixel / 8;
    const std::size_t stride = (static_cast<std::size_t>(c.width()) * bytesPerPixel + 3) & ~std::size_t{3};
    Bytes rows;
    for (int y = c.height() - 1; y >= 0; --y) {  // bottom row first
        const std::size_t start = rows.size();
        for (int x = 0; x < c.width(); ++x) {
            const Rgb8 colour = opaque(c, x, y) ? opaqueColour(c.colour(x, y)) : Rgb8{};
            if (bitsPerPixel == 8) {
                rows.push_back(opaque(c, x, y) ? palette.at(colour) : 0);
            } else if (bitsPerPixel == 16) {
                u16(rows, static_cast<std::uint32_t>(((colour.r >> 3) << 10) | ((colour.g >> 3) << 5) | (colour.b >> 3)));
            } else {
                rows.insert(rows.end(), {colour.b, colour.g, colour.r});
            }
        }
        rows.resize(start + stride, 0);
    }
    return rows;
}

}  // namespace

bool writeSpriteSet(const std::string& path, const std::vector<SpriteImage>& frames, int bitsPerPixel) {
    Bytes out{'O', 'W', 'S', 'D', '1', '.', '0', 0};
    u32(out, static_cast<std::uint32_t>(frames.size()));
    u16(out, static_cast<std::uint32_t>(bitsPerPixel));

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
        std::array<std::uint8_t, 1024> table{};  // entry 0 stays black: the transparent colour
        std::uint8_t next = 1;
        for (auto& [colour, index] : palette) {
            index = next;
            table[next * 4u + 0] = colour.r;
            table[next * 4u + 1] = colour.g;
            table[next * 4u + 2] = colour.b;
            ++next;
        }
        out.insert(out.end(), table.begin(), table.end());
    }
    for (const SpriteImage& frame : frames) {
        for (const int value : {frame.canvas.width(), frame.canvas.height(), frame.hotSpotX, frame.hotSpotY}) {
            u32(out, static_cast<std::uint32_t>(value));
        }
        const Bytes rows = frameRows(frame, bitsPerPixel, palette);
        out.insert(out.end(), rows.begin(), rows.end());
    }
    return save(path, out);
}

bool writeBmp24(const std::string& path, const Canvas& canvas) {
    const auto width = static_cast<std::uint32_t>(canvas.width());
    const auto height = static_cast<std::uint32_t>(canvas.height());
    const std::uint32_t stride = (width * 3 + 3) & ~3u;
    Bytes out{'B', 'M'};
    u32(out, 54 + stride * height);
    u32(out, 0);
    u32(out, 54);
    u32(out, 40);
    u32(out, width);
    u32(out, height);
    u16(out, 1);
    u16(out, 24);
    u32(out, 0);
    u32(out, stride * height);
    u32(out, 2835);
    u32(out, 2835);
    u32(out, 0);
    u32(out, 0);
    for (int y = canvas.height() - 1; y >= 0; --y) {
        const std::size_t start = out.size();
        for (int x = 0; x < canvas.width(); ++x) {
            const float dither = kBayer[static_cast<std::size_t>((y & 3) * 4 + (x & 3))] / 16.0f - 0.47f;
            const Colour c = canvas.colour(x, y);
            out.insert(out.end(), {quantise(c.b, 5, dither), quantise(c.g, 6, dither), quantise(c.r, 5, dither)});
        }
        out.resize(start + stride, 0);
    }
    return save(path, out);
}

bool writeWave(const std::string& path, int channels, int sampleRate, int bitsPerSample, const std::vector<float>& samples) {
    const int bytesPerSample = bitsPerSample / 8;
    const auto dataSize = static_cast<std::uint32_t>(samples.size() * bytesPerSample);
    Bytes out{'R', 'I', 'F', 'F'};
    u32(out, 36 + dataSize);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    u32(out, 16);
    u16(out, 1);
    u16(out, static_cast<std::uint32_t>(channels));
    u32(out, static_cast<std::uint32_t>(sampleRate));
    u32(out, static_cast<std::uint32_t>(sampleRate * channels * bytesPerSample));
    u16(out, static_cast<std::uint32_t>(channels * bytesPerSample));
    u16(out, static_cast<std::uint32_t>(bitsPerSample));
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    u32(out, dataSize);
    for (const float sample : samples) {
        const float v = std::clamp(sample, -1.0f, 1.0f);
        if (bitsPerSample == 8) {
            out.push_back(static_cast<std::uint8_t>(std::lround(128.0f + v * 127.0f)));
        } else {
            u16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v * 32767.0f))));
        }
    }
    return save(path, out);
}

}  // namespace kestrane::art
