// sound_output_sdl.cpp -- SoundEffects::init on SDL2_mixer: slot n is channel n, its chunk in the device format.
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <array>
#include <vector>

#include "client/media/sound_effects.h"

namespace kestrane {

namespace {

constexpr int kMixFrequency = 44100;
constexpr int kMixChannels = 2;
constexpr int kMixChunkSamples = 512;  // about 12 ms: a shot is heard on the frame it is fired

struct Chunk {
    std::vector<std::uint8_t> samples;  // in the device format; the chunk points into it
    Mix_Chunk* chunk = nullptr;

    Chunk() = default;
    Chunk(const Chunk&) = delete;
    Chunk& operator=(const Chunk&) = delete;
    ~Chunk() {
        if (chunk != nullptr) {
            Mix_FreeChunk(chunk);  // stops any channel still playing it
        }
    }
};

class MixerOutput final : public SoundOutput {
public:
    // The open default device, or null when there is none.
    static std::unique_ptr<MixerOutput> open() {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            return nullptr;
        }
        if (Mix_OpenAudio(kMixFrequency, AUDIO_S16SYS, kMixChannels, kMixChunkSamples) != 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return nullptr;
        }
        Mix_AllocateChannels(std::max(Mix_AllocateChannels(-1), kSoundSlotCount));
        Mix_ReserveChannels(kSoundSlotCount);  // nobody else's sounds take an effect's channel
        return std::unique_ptr<MixerOutput>(new MixerOutput);
    }

    ~MixerOutput() override {
        for (auto& chunk : chunks_) {
            chunk.reset();
        }
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    MixerOutput(const MixerOutput&) = delete;
    MixerOutput& operator=(const MixerOutput&) = delete;

    void setVolume(int percent) override {
        for (int slot = 0; slot < kSoundSlotCount; ++slot) {
            Mix_Volume(slot, percent * MIX_MAX_VOLUME / 100);
        }
    }

    bool load(int slot, const WaveSound& sound) override {
        unload(slot);
        int mixFrequency = 0;
        Uint16 mixFormat = 0;
        int mixChannels = 0;
        Mix_QuerySpec(&mixFrequency, &mixFormat, &mixChannels);
        SDL_AudioCVT conversion;
        if (SDL_BuildAudioCVT(&conversion, sound.sixteenBits ? AUDIO_S16LSB : AUDIO_U8,
                              static_cast<Uint8>(sound.channels), static_cast<int>(sound.sampleRate), mixFormat,
                              static_cast<Uint8>(mixChannels), mixFrequency) < 0) {
            return false;
        }
        const std::uint64_t workBytes =
            std::uint64_t{sound.samples.size()} * static_cast<std::uint64_t>(std::max(conversion.len_mult, 1));
        if (workBytes > kMaxDeviceSoundBytes) {
            return false;
        }
        auto loaded = std::make_unique<Chunk>();
        loaded->samples.assign(sound.samples.begin(), sound.samples.end());
        if (conversion.needed) {
            loaded->samples.resize(static_cast<std::size_t>(workBytes));
            conversion.buf = loaded->samples.data();
            conversion.len = static_cast<int>(sound.samples.size());
            if (SDL_ConvertAudio(&conversion) != 0) {
                return false;
            }
            loaded->samples.resize(static_cast<std::size_t>(conversion.len_cvt));
            if (loaded->samples.empty()) {
                return false;  // resampled steeply down to nothing: a slot that could never play
            }
        }
        loaded->chunk = Mix_QuickLoad_RAW(loaded->samples.data(), static_cast<Uint32>(loaded->samples.size()));
        if (loaded->chunk == nullptr) {
            return false;
        }
        chunks_[static_cast<std::size_t>(slot)] = std::move(loaded);
        return true;
    }

    void unload(int slot) override { chunks_[static_cast<std::size_t>(slot)].reset(); }

    bool play(int slot) override {
        const Chunk* chunk = chunks_[static_cast<std::size_t>(slot)].get();
        if (chunk == nullptr) {
            return false;
        }
        const bool restarted = Mix_Playing(slot) != 0;
        if (restarted) {
            Mix_HaltChannel(slot);
        }
        Mix_PlayChannel(slot, chunk->chunk, 0);
        return restarted;
    }

    bool isPlaying(int slot) const override { return chunks_[static_cast<std::size_t>(slot)] && Mix_Playing(slot) != 0; }

    std::span<const std::uint8_t> samples(int slot) const override {
        const Chunk* chunk = chunks_[static_cast<std::size_t>(slot)].get();
        return chunk != nullptr ? std::span<const std::uint8_t>(chunk->samples) : std::span<const std::uint8_t>{};
    }

private:
    MixerOutput() = default;

    std::array<std::unique_ptr<Chunk>, kSoundSlotCount> chunks_;
};

}  // namespace

bool SoundEffects::init(const std::filesystem::path& directory) {
    releaseAll();
    std::unique_ptr<MixerOutput> device = MixerOutput::open();
    if (device == nullptr) {
        return false;
    }
    initWithOutput(std::move(device), directory);
    return true;
}

}  // namespace kestrane
