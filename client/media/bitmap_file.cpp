// bitmap_file.cpp -- the BMP reader: headers checked against the file's size before any pixel is read.
#include "client/media/bitmap_file.h"

#include <array>
#include <bit>

#include "common/little_endian.h"

namespace kestrane {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kCoreHeaderSize = 12;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::uint32_t kUncompressed = 0;
constexpr std::uint32_t kBitFields = 3;

// One channel of a bit-field pixel: where its bits are and how many.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    int bits = 0;

    static Channel of(std::uint32_t mask) {
        if (mask == 0) {
            return {};
        }
        const int shift = std::countr_zero(mask);
        return {mask, shift, std::countr_one(mask >> shift)};
    }
    // The channel's value scaled to 8 bits, as a wider or narrower field would give it.
    std::uint8_t value(std::uint32_t pixel) const {
        if (bits == 0) {
            return 0;
        }
        const std::uint32_t raw = (pixel & mask) >> shift;
        if (bits >= 8) {
            return static_cast<std::uint8_t>(raw >> (bits - 8));
        }
        // Repeat the bits downwards: 5 bits 11111 become 11111111, so white stays 255.
        std::uint32_t wide = 0;
        for (int filled = 0; filled < 8; filled += bits) {
            wide = (wide << bits) | raw;
        }
        return static_cast<std::uint8_t>(wide >> (((8 + bits - 1) / bits) * bits - 8));
    }
};

std::uint32_t u32At(std::span<const std::uint8_t> bytes, std::size_t offset) { return readU32(&bytes[offset]); }
std::uint16_t u16At(std::span<const std::uint8_t> bytes, std::size_t offset) { return readU16(&bytes[offset]); }

}  // namespace

std::optional<Surface> decodeBitmap(std::span<const std::uint8_t> file) {
    if (file.size() < kFileHeaderSize + kCoreHeaderSize || file.size() > kMaxBitmapFileBytes || file[0] != 'B' ||
        file[1] != 'M') {
        return std::nullopt;
    }
    const std::uint32_t pixelOffset = u32At(file, 10);
    const std::uint32_t headerSize = u32At(file, 14);
    std::int64_t width = 0;
    std::int64_t height = 0;
    int bitsPerPixel = 0;
    std::uint32_t compression = kUncompressed;
    std::uint32_t coloursUsed = 0;
    std::size_t tableEntrySize = 4;
    if (headerSize == kCoreHeaderSize) {
        width = u16At(file, 18);
        height = static_cast<std::int16_t>(u16At(file, 20));
        if (u16At(file, 22) != 1) {
            return std::nullopt;
        }
        bitsPerPixel = u16At(file, 24);
        tableEntrySize = 3;
    } else if (headerSize >= kInfoHeaderSize && headerSize <= file.size() - kFileHeaderSize) {
        width = static_cast<std::int32_t>(u32At(file, 18));
        height = static_cast<std::int32_t>(u32At(file, 22));
        if (u16At(file, 26) != 1) {
            return std::nullopt;
        }
        bitsPerPixel = u16At(file, 28);
        compression = u32At(file, 30);
        coloursUsed = u32At(file, 46);
    } else {
        return std::nullopt;
    }
    const bool topDown = height < 0;
    height = topDown ? -height : height;
    if (width <= 0 || height <= 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide) {
        return std::nullopt;
    }

    // Where the pixel format is described: right after the header.
    const std::size_t tableOffset = kFileHeaderSize + headerSize;
    std::array<Channel, 3> channels{Channel::of(0x7C00), Channel::of(0x03E0), Channel::of(0x001F)};
    std::array<Rgb, 256> palette{};
    switch (bitsPerPixel) {
        case 1:
        case 4:
        case 8: {
            if (compression != kUncompressed) {
                return std::nullopt;
            }
            const std::size_t maxEntries = std::size_t{1} << bitsPerPixel;
            const std::size_t entries = coloursUsed == 0 || coloursUsed > maxEntries ? maxEntries : coloursUsed;
            if (tableOffset + entries * tableEntrySize > file.size()) {
                return std::nullopt;
            }
            for (std::size_t i = 0; i < entries; ++i) {
                const std::uint8_t* entry = &file[tableOffset + i * tableEntrySize];  // blue, green, red
                palette[i] = {entry[2], entry[1], entry[0]};
            }
            break;
        }
        case 16:
        case 32:
            if (compression == kBitFields) {
                // The masks follow a 40-byte header; longer headers hold them at the same place.
                if (kFileHeaderSize + kInfoHeaderSize + 12 > file.size() || headerSize == kCoreHeaderSize) {
                    return std::nullopt;
                }
                for (std::size_t c = 0; c < 3; ++c) {
                    channels[c] = Channel::of(u32At(file, kFileHeaderSize + kInfoHeaderSize + 4 * c));
                }
            } else if (compression != kUncompressed) {
                return std::nullopt;
            } else if (bitsPerPixel == 32) {
                channels = {Channel::of(0xFF0000), Channel::of(0x00FF00), Channel::of(0x0000FF)};
            }
            break;
        case 24:
            if (compression != kUncompressed) {
                return std::nullopt;
            }
            break;
        default:
            return std::nullopt;
    }

    const std::int64_t stride = (width * bitsPerPixel + 31) / 32 * 4;
    if (pixelOffset > file.size() || static_cast<std::int64_t>(file.size() - pixelOffset) < stride * height) {
        return std::nullopt;
    }
    Surface picture;
    if (!picture.create(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height))) {
        return std::nullopt;
    }
    for (std::int64_t y = 0; y < height; ++y) {
        const std::int64_t stored = topDown ? y : height - 1 - y;
        const std::uint8_t* from = file.data() + pixelOffset + stored * stride;
        const std::span<std::uint16_t> to = picture.row(static_cast<int>(y));
        for (std::int64_t x = 0; x < width; ++x) {
            Rgb colour;
            switch (bitsPerPixel) {
                case 1:
                case 4:
                case 8: {
                    const std::int64_t bit = x * bitsPerPixel;
                    const unsigned shift = static_cast<unsigned>(8 - bitsPerPixel - bit % 8);
                    colour = palette[(from[bit / 8] >> shift) & ((1u << bitsPerPixel) - 1)];
                    break;
                }
                case 24:
                    colour = {from[x * 3 + 2], from[x * 3 + 1], from[x * 3]};
                    break;
                default: {
                    const std::uint32_t pixel = bitsPerPixel == 16 ? readU16(from + x * 2) : readU32(from + x * 4);
                    colour = {channels[0].value(pixel), channels[1].value(pixel), channels[2].value(pixel)};
                    break;
                }
            }
            to[static_cast<std::size_t>(x)] = toRgb565(colour);
        }
    }
    return picture;
}

}  // namespace kestrane
