// sprite_sizes.h -- the sizes and hot spots of the sprite frames, as far as the game's rules
// need them: where a shot starts, what a bullet covers, where a player can be hit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kestrane {

inline constexpr std::size_t kPlayerSpriteCount = 25;  // 3 per direction, then the downed player
inline constexpr std::size_t kBulletSpriteCount = 6;   // shot 0..2, mine 3..5
inline constexpr std::size_t kEtcSpriteCount = 3;      // centre pictures: joined, down, server closed
inline constexpr int kDeadFrame = 24;

// One frame's picture size and the point of it that is put at a record's position (pixels).
struct FrameSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t hotSpotX = 0;
    std::int32_t hotSpotY = 0;
};

// An area in screen pixels; right and bottom are exclusive.
struct PixelBox {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend constexpr bool operator==(const PixelBox&, const PixelBox&) = default;
};

// All 0 until the caller fills them from the sprite sets it loaded (or a test sets them): a
// frame of size 0 is a point at its position.
struct SpriteSizes {
    std::array<FrameSize, kPlayerSpriteCount> player{};
    std::array<FrameSize, kBulletSpriteCount> bullet{};

    // The size of a frame by index, or nothing for an index outside the set.
    static const FrameSize* at(const auto& frames, int index) {
        return index >= 0 && static_cast<std::size_t>(index) < frames.size() ? &frames[static_cast<std::size_t>(index)]
                                                                              : nullptr;
    }
};

}  // namespace kestrane
