// media_writers.h -- the game's data formats written byte by byte, independently of the
// loaders: sprite sets, canonical WAVs and 24-bit BMPs. The artwork generator writes the game's
// files with them, the tests and the fuzz seeds their own small and damaged ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "client/media/pixel.h"

namespace kestrane {

using Bytes = std::vector<std::uint8_t>;

// False when the file cannot be written whole.
bool writeFile(const std::string& path, const Bytes& bytes);
void appendU16(Bytes& bytes, std::uint32_t value);
void appendU32(Bytes& bytes, std::uint32_t value);

// A sprite-set file, header first, then what is added in order.
class SpriteFileBuilder {
public:
    // `magic` is filled up to 8 bytes with '?'; `filler` fills each pixel row to 4 bytes and
    // `paletteFill` is the unused fourth byte of every palette entry.
    SpriteFileBuilder(std::int32_t frameCount, int bitsPerPixel, std::string_view magic = "OWSD1.0?",
                      std::uint8_t filler = 0xCD, std::uint8_t paletteFill = 0xEE);
    // 256 entries of (red, green, blue); unset entries are black.
    SpriteFileBuilder& palette(const std::vector<Rgb>& entries);
    // rows top-down; each value is a palette index (8), a 5-5-5 word (16) or 0xRRGGBB (24).
    SpriteFileBuilder& frame(std::int32_t hotSpotX, std::int32_t hotSpotY, const std::vector<std::vector<std::uint32_t>>& rows);
    // A frame header with any numbers and no pixels, for damaged files.
    SpriteFileBuilder& rawFrameHeader(std::int32_t width, std::int32_t height, std::int32_t hotSpotX, std::int32_t hotSpotY);
    const Bytes& bytes() const { return bytes_; }
    bool write(const std::string& path, std::size_t cutTo = SIZE_MAX) const;

private:
    int bitsPerPixel_;
    std::uint8_t filler_;
    std::uint8_t paletteFill_;
    Bytes bytes_;
};

// A canonical 44-byte-header WAV file; the fields as they should appear in the file (average
// bytes per second is sample rate x block align).
struct WaveFields {
    std::uint16_t channels = 1;
    std::uint32_t sampleRate = 11025;
    std::uint16_t blockAlign = 1;
    std::uint16_t bitsPerSample = 8;
    std::uint32_t dataSize = 0;  // 0: the size of `samples`
};
bool writeWave(const std::string& path, const WaveFields& fields, const Bytes& samples);

// A bottom-up 24-bit BMP; rows top-down as 0xRRGGBB.
bool writeBmp24(const std::string& path, const std::vector<std::vector<std::uint32_t>>& rows);

}  // namespace kestrane
