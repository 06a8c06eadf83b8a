// wave_file.h -- reading the sound effects' WAV files into plain sample data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace kestrane {

// The canonical 44-byte header of a PCM WAV file, read at fixed offsets whatever the file's
// real chunk layout is.
inline constexpr std::size_t kWaveHeaderSize = 44;
struct WaveHeader {
    std::uint16_t channels = 0;       // offset 22
    std::uint32_t sampleRate = 0;     // offset 24
    std::uint16_t blockAlign = 0;     // offset 32
    std::uint16_t bitsPerSample = 0;  // offset 34
    std::uint32_t dataSize = 0;       // offset 40
};
WaveHeader parseWaveHeader(std::span<const std::uint8_t, kWaveHeaderSize> bytes);

// A slot's buffer as built from its header: channels 2 when the header says more than 1,
// else 1; average bytes per second = block align x sample rate.
struct SoundBufferFormat {
    int channels = 0;
    std::uint32_t samplesPerSecond = 0;
    std::uint32_t averageBytesPerSecond = 0;
    int blockAlign = 0;
    int bitsPerSample = 0;
    std::uint32_t bufferBytes = 0;
};

// A header that announces more sample bytes than this is refused.
inline constexpr std::uint32_t kMaxSoundBytes = 8u << 20;

// A WAV file's sound as the game plays it: unsigned 8-bit or signed 16-bit little-endian
// samples, one or two interleaved channels, at the header's rate.
struct WaveSound {
    SoundBufferFormat format;
    int channels = 0;  // 1 or 2, as format.channels
    bool sixteenBits = false;
    std::uint32_t sampleRate = 0;
    // dataSize bytes, those the file lacks filled with silence, then up to a whole number of
    // sample frames.
    std::vector<std::uint8_t> samples;
};

// The sound of a whole file, or nothing when the header is not usable: shorter than 44 bytes,
// bits per sample other than 8 or 16, no sample rate (or one above 2^31 - 1), no data or more
// than kMaxSoundBytes. Sample bytes missing from the end of the file are silence.
std::optional<WaveSound> decodeWave(std::span<const std::uint8_t> file);
// The same from a file, reading no more than the header announces; nothing as well when the
// file cannot be opened or read.
std::optional<WaveSound> readWaveFile(const std::filesystem::path& path);

}  // namespace kestrane
