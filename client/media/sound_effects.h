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

namespace kestrane {

// Slot n plays "<n + 1>.wav"; what each one means is the world's (world_outbox.h).
inline constexpr int kSoundSlotCount = 6;

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

// A slot refuses a header that announces more sample bytes than this.
inline constexpr std::uint32_t kMaxSoundBytes = 8u << 20;
// ...and a sound that would take more than this once converted to the device's format (a low
// sample rate multiplies the size: 6 MB at 56 samples a second would be 41 GB at 44100).
inline constexpr std::uint64_t kMaxDeviceSoundBytes = 64u << 20;

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
    // empty and the others load. False when there is no audio device.
    bool init(const std::filesystem::path& directory = {});
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
    struct Slot;
    void releaseAll();

    bool deviceOpen_ = false;
    bool ready_ = false;
    std::array<std::unique_ptr<Slot>, kSoundSlotCount> slots_;
    std::array<int, kSoundSlotCount> playCounts_{};
    std::array<int, kSoundSlotCount> restartCounts_{};
    std::function<void(int)> listener_;
    int volume_ = 100;
};

}  // namespace kestrane
