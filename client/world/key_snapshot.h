// key_snapshot.h -- the keyboard as the frame tick reads it: a 256-byte snapshot indexed by the
// game's key codes. Plain data: the keyboard reader, the bots and the tests fill it.
#pragma once

#include <array>
#include <cstdint>

namespace kestrane {

// Key codes are keyboard scan codes (set 1, extended keys with bit 7 set).
inline constexpr int kKeyEscape = 0x01;
inline constexpr int kKeyTab = 0x0F;
inline constexpr int kKeyEnter = 0x1C;
inline constexpr int kKeyLeftAlt = 0x38;
inline constexpr int kKeySpace = 0x39;
inline constexpr int kKeyF1 = 0x3B;
inline constexpr int kKeyF10 = 0x44;
inline constexpr int kKeyUp = 0xC8;
inline constexpr int kKeyLeft = 0xCB;
inline constexpr int kKeyRight = 0xCD;
inline constexpr int kKeyDown = 0xD0;

// Byte n belongs to key code n; bit 7 set means the key is down.
using KeyState = std::array<std::uint8_t, 256>;
inline constexpr std::uint8_t kKeyDownBit = 0x80;

// 1 when bit 7 of the snapshot byte for keyCode % 256 is set, else 0.
constexpr int isKeyDown(const KeyState& keys, int keyCode) {
    return (keys[static_cast<std::uint8_t>(keyCode)] & kKeyDownBit) != 0 ? 1 : 0;
}
constexpr void setKeyDown(KeyState& keys, int keyCode, bool down) {
    keys[static_cast<std::uint8_t>(keyCode)] = down ? kKeyDownBit : 0;
}

}  // namespace kestrane
