// player_info.h -- the 32-byte player description carried by Join and PlayerState.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kestrane {

inline constexpr std::size_t kNameFieldSize = 21;  // 20 bytes of text and a terminator
inline constexpr std::size_t kMaxNameLength = 20;

// A player name as it travels: code page 949 bytes, NUL-terminated; bytes after the
// terminator are carried along unchanged.
using NameField = std::array<char, kNameFieldSize>;

// The name's text: the bytes before the first NUL, never more than 20 even when the
// field holds no terminator.
std::string_view nameText(const NameField& field);

// A zero-filled field holding `text`, cut to 20 bytes without splitting a two-byte character.
NameField makeNameField(std::string_view text);

struct PlayerInfo {
    static constexpr std::size_t kEncodedSize = 32;

    std::uint8_t energy = 0;     // 0..100; 0 is down
    std::uint8_t spare = 0;      // carried along, read by nobody
    std::uint8_t direction = 0;  // 0 up, clockwise in 45-degree steps
    std::uint8_t motion = 0;     // 0 standing, 1 forward, 2 backward
    std::uint8_t frame = 0;      // index into the player sprite set
    std::int16_t x = 0;          // screen pixels
    std::int16_t y = 0;
    NameField name{};

    // Little-endian, field by field: byte 5 is written 0, byte 31 is written 0.
    void encode(std::span<std::uint8_t, kEncodedSize> out) const;
    std::array<std::uint8_t, kEncodedSize> encode() const;
    // Reads a payload; a shorter span (a short packet) reads as if zero-filled.
    static PlayerInfo decode(std::span<const std::uint8_t> payload);
};

}  // namespace kestrane
