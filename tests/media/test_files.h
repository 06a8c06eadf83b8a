// test_files.h -- small builders for the media files the tests need (sprite sets, WAVs, BMPs).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "client/media/pixel.h"

namespace kestrane::testing {

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(std::string_view name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

using Bytes = std::vector<std::uint8_t>;

void writeFile(const std::string& path, const Bytes& bytes);
void appendU16(Bytes& bytes, std::uint32_t value);
void appendU32(Bytes& bytes, std::uint32_t value);

// A sprite-set file written byte by byte, independently of the loader.
class SpriteFileBuilder {
public:
    SpriteFileBuilder(std::int32_t frameCount, int bitsPerPixel, std::string_view magic = "OWSD1.0?");
    // 256 entries of (red, green, blue); unset entries are black.
    SpriteFileBuilder& palette(const std::vector<Rgb>& entries);
    // rows top-down; each value is a palette index (8), a 5-5-5 word (16) or 0xRRGGBB (24).
    SpriteFileBuilder& frame(std::int32_t hotSpotX, std::int32_t hotSpotY, const std::vector<std::vector<std::uint32_t>>& rows);
    // A frame header with any numbers and no pixels, for damaged files.
    SpriteFileBuilder& rawFrameHeader(std::int32_t width, std::int32_t height, std::int32_t hotSpotX, std::int32_t hotSpotY);
    const Bytes& bytes() const { return bytes_; }
    void write(const std::string& path, std::size_t cutTo = SIZE_MAX) const;

private:
    int bitsPerPixel_;
    Bytes bytes_;
};

// A canonical 44-byte-header WAV file; `header` values as they should appear in the file.
struct WaveSpec {
    std::uint16_t channels = 1;
    std::uint32_t sampleRate = 11025;
    std::uint16_t blockAlign = 1;
    std::uint16_t bitsPerSample = 8;
    std::uint32_t dataSize = 0;  // 0: the size of `samples`
};
void writeWave(const std::string& path, const WaveSpec& spec, const Bytes& samples);

// A bottom-up 24-bit BMP; rows top-down as 0xRRGGBB.
void writeBmp24(const std::string& path, const std::vector<std::vector<std::uint32_t>>& rows);

}  // namespace kestrane::testing
