// sound_effects.h -- the six one-shot sound effects, one mixer channel each.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "client/media/wave_file.h"

namespace kestrane {

// Slot n plays "<n + 1>.wav"; what each one means is the world's (world_outbox.h).
inline constexpr int kSoundSlotCount = 6;

// A sound that would take more than this once converted to the device's format is refused (a
// low sample rate multiplies the size: 6 MB at 56 samples a second would be 41 GB at 44100).
inline constexpr std::uint64_t kMaxDeviceSoundBytes = 64u << 20;

// Where the effects sound: the audio device on the media's SDL edge. One voice per slot.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // Converts `sound` for the device into `slot`, replacing what it held. False when the
    // device cannot take it (the slot is empty then).
    virtual bool load(int slot, const WaveSound& sound) = 0;
    virtual void unload(int slot) = 0;
    // Starts the slot from its first sample; true when that stopped it while still sounding.
    virtual bool play(int slot) = 0;
    virtual bool isPlaying(int slot) const = 0;
    virtual std::span<const std::uint8_t> samples(int slot) const = 0;
    // Loudness of every slot, 0 (silent) to 100 (as recorded).
    virtual void setVolume(int /*percent*/) {}
};

// Owns the audio device and one buffer per slot. Each slot is one voice: playing it again
// restarts it from its first sample, while different slots sound together. Without a device
// (no audio hardware, init failed or not called) play() is silent. Failures are silent too.
// Only one instance per process should init() (the mixer is process-wide). Main thread only.
class SoundEffects {
public:
    SoundEffects();
    virtual ~SoundEffects();
    SoundEffects(const SoundEffects&) = delete;
    SoundEffects& operator=(const SoundEffects&) = delete;

    // Opens the default audio device and loads "1.wav" .. "6.wav" from `directory` (the
    // working directory when empty) into slots 0 .. 5; a file that fails leaves its slot
    // empty and the others load. False when there is no audio device. Defined on the media's
    // SDL edge (kestrane_media_sdl).
    bool init(const std::filesystem::path& directory = {});
    // The same with `output` as the device (init() passes the SDL mixer's).
    void initWithOutput(std::unique_ptr<SoundOutput> output, const std::filesystem::path& directory = {});
    // Reads one WAV file into `slot`. False when the file cannot be opened or read, the header
    // is not usable (bits per sample other than 8 or 16, no sample rate, no data, more than
    // kMaxSoundBytes, or more than kMaxDeviceSoundBytes once converted), or there is no device. Sample bytes missing from the end of the file
    // play as silence.
    bool loadWave(const std::filesystem::path& path, int slot);
    // Starts `slot` from its beginning, stopping it first if it is still playing.
    void play(int slot);
    // Loudness of every slot from now on, 0 (silent) to 100 (as recorded); kept across init().
    void setVolume(int percent);
    int volume() const { return volume_; }

    bool ready() const { return ready_; }
    bool slotLoaded(int slot) const;
    std::optional<SoundBufferFormat> bufferFormat(int slot) const;
    bool isPlaying(int slot) const;
    // The slot's samples as converted for the device (empty when the slot is empty).
    std::span<const std::uint8_t> deviceSamples(int slot) const;

    // Every play() call is counted and reported, with or without a device, so headless tests
    // can tell which effects the game asked for.
    int playCount(int slot) const;
    // How many plays stopped the slot's voice while it was still sounding, to restart it.
    int restartCount(int slot) const;
    void setPlayListener(std::function<void(int slot)> listener) { listener_ = std::move(listener); }

private:
    void releaseAll();

    std::unique_ptr<SoundOutput> output_;
    bool ready_ = false;
    std::array<std::optional<SoundBufferFormat>, kSoundSlotCount> formats_;
    std::array<int, kSoundSlotCount> playCounts_{};
    std::array<int, kSoundSlotCount> restartCounts_{};
    std::function<void(int)> listener_;
    int volume_ = 100;
};

}  // namespace kestrane
