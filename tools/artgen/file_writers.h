// file_writers.h -- the game's data formats written from painted canvases and synthesised sound.
#pragma once

#include <string>
#include <vector>

#include "tools/artgen/canvas.h"

namespace kestrane::art {

// One sprite frame: pixels whose alpha is below one half are transparent (stored black);
// every other pixel is stored as a colour that stays non-black on the game's screen.
struct SpriteImage {
    Canvas canvas;
    int hotSpotX = 0;
    int hotSpotY = 0;
};

// A sprite-set file at 8 (palette built from the frames), 16 (5-5-5) or 24 bits per pixel.
bool writeSpriteSet(const std::string& path, const std::vector<SpriteImage>& frames, int bitsPerPixel);
// An uncompressed 24-bit BMP, dithered to the 5-6-5 colours the game shows.
bool writeBmp24(const std::string& path, const Canvas& canvas);
// A PCM WAV with the canonical 44-byte header; samples interleaved per channel, -1..1.
bool writeWave(const std::string& path, int channels, int sampleRate, int bitsPerSample, const std::vector<float>& samples);

}  // namespace kestrane::art
