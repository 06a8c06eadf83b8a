// wave_file.cpp -- the WAV header at its fixed offsets, checked before any sample is read.
#include "client/media/wave_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

#include "common/little_endian.h"

namespace kestrane {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

bool usable(const WaveHeader& header) {
    return (header.bitsPerSample == 8 || header.bitsPerSample == 16) && header.sampleRate != 0 &&
           header.sampleRate <= 0x7FFFFFFF && header.dataSize != 0 && header.dataSize <= kMaxSoundBytes;
}

// The sound of a usable header with the sample bytes the file has (at most dataSize).
WaveSound makeSound(const WaveHeader& header, std::span<const std::uint8_t> present) {
    WaveSound sound;
    sound.channels = header.channels > 1 ? 2 : 1;
    sound.sixteenBits = header.bitsPerSample == 16;
    sound.sampleRate = header.sampleRate;
    sound.format = {sound.channels,
                    header.sampleRate,
                    static_cast<std::uint32_t>(header.blockAlign) * header.sampleRate,
                    header.blockAlign,
                    header.bitsPerSample,
                    header.dataSize};
    const std::size_t frameBytes = static_cast<std::size_t>(sound.channels) * (sound.sixteenBits ? 2 : 1);
    const std::size_t wholeFrames = (header.dataSize + frameBytes - 1) / frameBytes * frameBytes;
    sound.samples.assign(wholeFrames, sound.sixteenBits ? 0x00 : 0x80);
    std::copy_n(present.begin(), std::min<std::size_t>(present.size(), header.dataSize), sound.samples.begin());
    return sound;
}

}  // namespace

WaveHeader parseWaveHeader(std::span<const std::uint8_t, kWaveHeaderSize> bytes) {
    WaveHeader header;
    header.channels = readU16(&bytes[22]);
    header.sampleRate = readU32(&bytes[24]);
    header.blockAlign = readU16(&bytes[32]);
    header.bitsPerSample = readU16(&bytes[34]);
    header.dataSize = readU32(&bytes[40]);
    return header;
}

std::optional<WaveSound> decodeWave(std::span<const std::uint8_t> file) {
    if (file.size() < kWaveHeaderSize) {
        return std::nullopt;
    }
    const WaveHeader header = parseWaveHeader(file.first<kWaveHeaderSize>());
    if (!usable(header)) {
        return std::nullopt;
    }
    return makeSound(header, file.subspan(kWaveHeaderSize));
}

std::optional<WaveSound> readWaveFile(const std::filesystem::path& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.string().c_str(), "rb"));
    if (!file) {
        return std::nullopt;
    }
    std::array<std::uint8_t, kWaveHeaderSize> headerBytes{};
    if (std::fread(headerBytes.data(), 1, headerBytes.size(), file.get()) != headerBytes.size()) {
        return std::nullopt;
    }
    const WaveHeader header = parseWaveHeader(headerBytes);
    if (!usable(header)) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> present(header.dataSize);
    const std::size_t read = std::fread(present.data(), 1, present.size(), file.get());
    if (read < present.size() && std::ferror(file.get())) {
        return std::nullopt;
    }
    present.resize(read);
    return makeSound(header, present);
}

}  // namespace kestrane
