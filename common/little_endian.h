// little_endian.h -- reading and writing little-endian fields, independent of host byte order.
#pragma once

#include <cstdint>

namespace kestrane {

inline std::uint16_t readU16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}
inline std::int16_t readI16(const std::uint8_t* bytes) { return static_cast<std::int16_t>(readU16(bytes)); }
inline std::uint32_t readU32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}
inline std::int32_t readI32(const std::uint8_t* bytes) { return static_cast<std::int32_t>(readU32(bytes)); }

inline void writeU16(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
}
inline void writeI16(std::uint8_t* bytes, std::int16_t value) { writeU16(bytes, static_cast<std::uint16_t>(value)); }
inline void writeU32(std::uint8_t* bytes, std::uint32_t value) {
    writeU16(bytes, static_cast<std::uint16_t>(value & 0xFFFF));
    writeU16(bytes + 2, static_cast<std::uint16_t>(value >> 16));
}

}  // namespace kestrane
