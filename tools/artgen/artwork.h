// artwork.h -- the game's pictures and sounds, painted and synthesised from code.
#pragma once

#include <vector>

#include "tools/artgen/canvas.h"
#include "tools/artgen/file_writers.h"

namespace kestrane {
class GlyphCache;
}

namespace kestrane::art {

inline constexpr int kPlayerWidth = 32;
inline constexpr int kPlayerHeight = 40;

// 25 frames: direction d (0 up, clockwise by 45 degrees) in frames 3d .. 3d + 2 (standing,
// left foot forward, right foot forward), then a player who is down.
std::vector<SpriteImage> playerFrames();
// Three frames of a shot's glow, then three of a mine's blinking light.
std::vector<SpriteImage> bulletFrames();
// Centre pictures: a player joined, you are down, the server closed.
std::vector<SpriteImage> centrePictures(GlyphCache& glyphs);
// The 800 x 600 arena: floor, wall, side panel and the strip where chat is typed.
Canvas background(GlyphCache& glyphs);

struct Sound {
    int channels = 1;
    int sampleRate = 11025;
    int bitsPerSample = 8;
    std::vector<float> samples;  // interleaved, -1..1
};
// "1.wav" .. "6.wav": shot, bullet leaving the arena, footstep, hit, player down, player joined.
std::vector<Sound> soundEffects();

}  // namespace kestrane::art
