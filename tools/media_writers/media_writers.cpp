// media_writers.cpp -- the byte-level writers of sprite sets, WAVs and BMPs.
#include "tools/media_writers/media_writers.h"

#include <algorithm>
#include <fstream>

namespace kestrane {

bool writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

void appendU16(Bytes& bytes, std::uint32_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void appendU32(Bytes& bytes, std::uint32_t value) {
    appendU16(bytes, value & 0xFFFF);
    appendU16(bytes, value >> 16);
}

SpriteFileBuilder::SpriteFileBuilder(std::int32_t frameCount, int bitsPerPixel, std::string_view magic,
                                     std::uint8_t filler, std::uint8_t paletteFill)
    : bitsPerPixel_(bitsPerPixel), filler_(filler), paletteFill_(paletteFill) {
    bytes_.assign(magic.begin(), magic.end());
    bytes_.resize(8, '?');
    appendU32(bytes_, static_cast<std::uint32_t>(frameCount));
    appendU16(bytes_, static_cast<std::uint32_t>(bitsPerPixel));
}

SpriteFileBuilder& SpriteFileBuilder::palette(const std::vector<Rgb>& entries) {
    for (std::size_t n = 0; n < 256; ++n) {
        const Rgb colour = n < entries.size() ? entries[n] : Rgb{};
        bytes_.insert(bytes_.end(), {colour.r, colour.g, colour.b, paletteFill_});
    }
    return *this;
}

SpriteFileBuilder& SpriteFileBuilder::frame(std::int32_t hotSpotX, std::int32_t hotSpotY,
                                            const std::vector<std::vector<std::uint32_t>>& rows) {
    const auto height = static_cast<std::int32_t>(rows.size());
    const auto width = static_cast<std::int32_t>(rows.front().size());
    rawFrameHeader(width, height, hotSpotX, hotSpotY);
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {  // bottom row first
        std::size_t rowBytes = 0;
        for (const std::uint32_t value : *row) {
            if (bitsPerPixel_ == 8) {
                bytes_.push_back(static_cast<std::uint8_t>(value));
                rowBytes += 1;
            } else if (bitsPerPixel_ == 16) {
                appendU16(bytes_, value);
                rowBytes += 2;
            } else {
                bytes_.insert(bytes_.end(), {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                             static_cast<std::uint8_t>(value >> 16)});
                rowBytes += 3;
            }
        }
        for (; rowBytes % 4 != 0; ++rowBytes) {
            bytes_.push_back(filler_);
        }
    }
    return *this;
}

SpriteFileBuilder& SpriteFileBuilder::rawFrameHeader(std::int32_t width, std::int32_t height, std::int32_t hotSpotX,
                                                     std::int32_t hotSpotY) {
    for (const std::int32_t value : {width, height, hotSpotX, hotSpotY}) {
        appendU32(bytes_, static_cast<std::uint32_t>(value));
    }
    return *this;
}

bool SpriteFileBuilder::write(const std::string& path, std::size_t cutTo) const {
    return writeFile(path,
                     Bytes(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(std::min(cutTo, bytes_.size()))));
}

bool writeWave(const std::string& path, const WaveFields& fields, const Bytes& samples) {
    const std::uint32_t dataSize = fields.dataSize != 0 ? fields.dataSize : static_cast<std::uint32_t>(samples.size());
    Bytes bytes{'R', 'I', 'F', 'F'};
    appendU32(bytes, 36 + dataSize);
    bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    appendU32(bytes, 16);
    appendU16(bytes, 1);
    appendU16(bytes, fields.channels);
    appendU32(bytes, fields.sampleRate);
    appendU32(bytes, fields.sampleRate * fields.blockAlign);
    appendU16(bytes, fields.blockAlign);
    appendU16(bytes, fields.bitsPerSample);
    bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
    appendU32(bytes, dataSize);
    bytes.insert(bytes.end(), samples.begin(), samples.end());
    return writeFile(path, bytes);
}

bool writeBmp24(const std::string& path, const std::vector<std::vector<std::uint32_t>>& rows) {
    const auto height = static_cast<std::uint32_t>(rows.size());
    const auto width = static_cast<std::uint32_t>(rows.front().size());
    const std::uint32_t stride = (width * 3 + 3) / 4 * 4;
    Bytes bytes{'B', 'M'};
    appendU32(bytes, 54 + stride * height);
    appendU32(bytes, 0);
    appendU32(bytes, 54);
    appendU32(bytes, 40);
    appendU32(bytes, width);
    appendU32(bytes, height);
    appendU16(bytes, 1);
    appendU16(bytes, 24);
    appendU32(bytes, 0);  // uncompressed
    appendU32(bytes, stride * height);
    appendU32(bytes, 2835);  // 72 dots per inch
    appendU32(bytes, 2835);
    appendU32(bytes, 0);
    appendU32(bytes, 0);
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {  // bottom row first
        for (const std::uint32_t value : *row) {
            bytes.insert(bytes.end(), {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                       static_cast<std::uint8_t>(value >> 16)});
        }
        bytes.resize(bytes.size() + (stride - width * 3), 0);
    }
    return writeFile(path, bytes);
}

}  // namespace kestrane
