// sound_effects.cpp -- SoundEffects on SDL2_mixer: slot n is channel n, its chunk in the device format.
#include "client/media/sound_effects.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "common/little_endian.h"

namespace kestrane {

namespace {

constexpr int kMixFrequency = 44100;
constexpr int kMixChannels = 2;
constexpr int kMixChunkSamples = 512;  // about 12 ms: a shot is heard on the frame it is fired

std::uint16_t u16At(std::span<const std::uint8_t> bytes, std::size_t offset) { return readU16(&bytes[offset]); }
std::uint32_t u32At(std::span<const std::uint8_t> bytes, std::size_t offset) { return readU32(&bytes[offset]); }

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

WaveHeader parseWaveHeader(std::span<const std::uint8_t, kWaveHeaderSize> bytes) {
    WaveHeader header;
    header.channels = u16At(bytes, 22);
    header.sampleRate = u32At(bytes, 24);
    header.blockAlign = u16At(bytes, 32);
    header.bitsPerSample = u16At(bytes, 34);
    header.dataSize = u32At(bytes, 40);
    return header;
}

struct SoundEffects::Slot {
    SoundBufferFormat format;
    std::vector<std::uint8_t> samples;  // in the device format; the chunk points into it
    Mix_Chunk* chunk = nullptr;

    ~Slot() {
        if (chunk != nullptr) {
            Mix_FreeChunk(chunk);  // stops any channel still playing it
        }
    }
};

SoundEffects::SoundEffects() = default;

SoundEffects::~SoundEffects() { releaseAll(); }

void SoundEffects::releaseAll() {
    ready_ = false;
    for (auto& slot : slots_) {
        slot.reset();
    }
    if (deviceOpen_) {
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        deviceOpen_ = false;
    }
}

bool SoundEffects::init(const std::filesystem::path& directory) {
    releaseAll();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return false;
    }
    if (Mix_OpenAudio(kMixFrequency, AUDIO_S16SYS, kMixChannels, kMixChunkSamples) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    deviceOpen_ = true;
    Mix_AllocateChannels(std::max(Mix_AllocateChannels(-1), kSoundSlotCount));
    Mix_ReserveChannels(kSoundSlotCount);  // nobody else's sounds take an effect's channel
    for (int slot = 0; slot < kSoundSlotCount; ++slot) {
        loadWave(directory / (std::to_string(slot + 1) + ".wav"), slot);
    }
    ready_ = true;
    setVolume(volume_);
    return true;
}

void SoundEffects::setVolume(int percent) {
    volume_ = std::clamp(percent, 0, 100);
    if (!deviceOpen_) {
        return;
    }
    for (int slot = 0; slot < kSoundSlotCount; ++slot) {
        Mix_Volume(slot, volume_ * MIX_MAX_VOLUME / 100);
    }
}

bool SoundEffects::loadWave(const std::filesystem::path& path, int slot) {
    if (slot < 0 || slot >= kSoundSlotCount) {
        return false;
    }
    slots_[static_cast<std::size_t>(slot)].reset();
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file || !deviceOpen_) {
        return false;
    }
    std::array<std::uint8_t, kWaveHeaderSize> headerBytes{};
    if (std::fread(headerBytes.data(), 1, headerBytes.size(), file.get()) != headerBytes.size()) {
        return false;
    }
    const WaveHeader header = parseWaveHeader(headerBytes);
    const bool sixteenBits = header.bitsPerSample == 16;
    if ((header.bitsPerSample != 8 && !sixteenBits) || header.sampleRate == 0 || header.sampleRate > 0x7FFFFFFF ||
        header.dataSize == 0 || header.dataSize > kMaxSoundBytes) {
        return false;
    }
    const int channels = header.channels > 1 ? 2 : 1;
    const std::uint8_t silence = sixteenBits ? 0x00 : 0x80;

    // The samples as the file gives them; what the file lacks is silence, and the buffer is
    // filled to a whole number of sample frames for the conversion.
    const std::size_t frameBytes = static_cast<std::size_t>(channels) * (sixteenBits ? 2 : 1);
    const std::size_t sourceBytes = (header.dataSize + frameBytes - 1) / frameBytes * frameBytes;
    int mixFrequency = 0;
    Uint16 mixFormat = 0;
    int mixChannels = 0;
    Mix_QuerySpec(&mixFrequency, &mixFormat, &mixChannels);
    SDL_AudioCVT conversion;
    if (SDL_BuildAudioCVT(&conversion, sixteenBits ? AUDIO_S16LSB : AUDIO_U8, static_cast<Uint8>(channels),
                          static_cast<int>(header.sampleRate), mixFormat, static_cast<Uint8>(mixChannels),
                          mixFrequency) < 0) {
        return false;
    }
    const std::uint64_t workBytes = std::uint64_t{sourceBytes} * static_cast<std::uint64_t>(std::max(conversion.len_mult, 1));
    if (workBytes > kMaxDeviceSoundBytes) {
        return false;
    }
    auto loaded = std::make_unique<Slot>();
    loaded->samples.assign(static_cast<std::size_t>(workBytes), silence);
    const std::size_t read = std::fread(loaded->samples.data(), 1, header.dataSize, file.get());
    if (read < header.dataSize && std::ferror(file.get())) {
        return false;
    }
    std::fill(loaded->samples.begin() + static_cast<std::ptrdiff_t>(read), loaded->samples.end(), silence);
    if (conversion.needed) {
        conversion.buf = loaded->samples.data();
        conversion.len = static_cast<int>(sourceBytes);
        if (SDL_ConvertAudio(&conversion) != 0) {
            return false;
        }
        loaded->samples.resize(static_cast<std::size_t>(conversion.len_cvt));
        if (loaded->samples.empty()) {
            return false;  // resampled steeply down to nothing: a slot that could never play
        }
    } else {
        loaded->samples.resize(sourceBytes);
    }
    loaded->chunk = Mix_QuickLoad_RAW(loaded->samples.data(), static_cast<Uint32>(loaded->samples.size()));
    if (loaded->chunk == nullptr) {
        return false;
    }
    loaded->format = {channels,
                      header.sampleRate,
                      static_cast<std::uint32_t>(header.blockAlign) * header.sampleRate,
                      header.blockAlign,
                      header.bitsPerSample,
                      header.dataSize};
    slots_[static_cast<std::size_t>(slot)] = std::move(loaded);
    return true;
}

void SoundEffects::play(int slot) {
    if (slot < 0 || slot >= kSoundSlotCount) {
        return;
    }
    const auto index = static_cast<std::size_t>(slot);
    ++playCounts_[index];
    if (listener_) {
        listener_(slot);
    }
    if (!ready_ || !slots_[index] || slots_[index]->chunk == nullptr) {
        return;
    }
    if (Mix_Playing(slot) != 0) {
        Mix_HaltChannel(slot);
        ++restartCounts_[index];
    }
    Mix_PlayChannel(slot, slots_[index]->chunk, 0);
}

bool SoundEffects::slotLoaded(int slot) const {
    return slot >= 0 && slot < kSoundSlotCount && slots_[static_cast<std::size_t>(slot)] != nullptr;
}

std::optional<SoundBufferFormat> SoundEffects::bufferFormat(int slot) const {
    if (!slotLoaded(slot)) {
        return std::nullopt;
    }
    return slots_[static_cast<std::size_t>(slot)]->format;
}

bool SoundEffects::isPlaying(int slot) const {
    return deviceOpen_ && slotLoaded(slot) && Mix_Playing(slot) != 0;
}

std::span<const std::uint8_t> SoundEffects::deviceSamples(int slot) const {
    if (!slotLoaded(slot)) {
        return {};
    }
    return slots_[static_cast<std::size_t>(slot)]->samples;
}

int SoundEffects::playCount(int slot) const {
    return slot >= 0 && slot < kSoundSlotCount ? playCounts_[static_cast<std::size_t>(slot)] : 0;
}

int SoundEffects::restartCount(int slot) const {
    return slot >= 0 && slot < kSoundSlotCount ? restartCounts_[static_cast<std::size_t>(slot)] : 0;
}

}  // namespace kestrane
