// fuzz_wav.cpp -- any file through the WAV loader into a sound slot of an open (dummy) audio
// device, then played twice. A slot takes a file only with a usable header, and then holds
// samples in the device's format.
//
// Input: the file. Its size modulo 6 picks the slot.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include <SDL_mixer.h>

#include "client/media/sound_effects.h"
#include "fuzz/fuzz_support.h"

namespace kestrane::fuzz {
namespace {

struct Session {
    SoundEffects sound;
    MemoryFile file;
    std::size_t deviceFrameBytes = 0;  // one sample frame in the device's format

    Session() {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        // No sound files there: every slot starts empty and the device opens.
        FUZZ_CHECK(sound.init("/nonexistent-kestrane-fuzz"), "the dummy audio device opens");
        int frequency = 0;
        Uint16 format = 0;
        int channels = 0;
        FUZZ_CHECK(Mix_QuerySpec(&frequency, &format, &channels) != 0, "the device reports its format");
        deviceFrameBytes = static_cast<std::size_t>(channels) * SDL_AUDIO_BITSIZE(format) / 8;
    }
};

Session& session() {
    static Session* instance = new Session;  // lives to the end: the fuzzer never returns
    return *instance;
}

// True when a slot may take this header: 8 or 16 bits, a sample rate, some data within the
// bound. The loader may still refuse a file for what its platform cannot convert.
bool usableHeader(const WaveHeader& header) {
    return (header.bitsPerSample == 8 || header.bitsPerSample == 16) && header.sampleRate != 0 &&
           header.dataSize != 0 && header.dataSize <= kMaxSoundBytes;
}

}  // namespace
}  // namespace kestrane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrane;
    using namespace kestrane::fuzz;
    Session& s = session();
    FUZZ_CHECK(s.file.write({data, size}), "the input can be written to a memory file");

    const int slot = static_cast<int>(size % kSoundSlotCount);
    const bool loaded = s.sound.loadWave(s.file.path(), slot);
    FUZZ_CHECK(loaded == s.sound.slotLoaded(slot), "the slot holds a sound exactly when the load succeeded");
    if (size < kWaveHeaderSize) {
        FUZZ_CHECK(!loaded, "a file shorter than its header is refused");
        return 0;
    }
    const WaveHeader header = parseWaveHeader(std::span<const std::uint8_t, kWaveHeaderSize>(data, kWaveHeaderSize));
    if (!usableHeader(header)) {
        FUZZ_CHECK(!loaded, "an unusable header is refused");
    }
    if (loaded) {
        const std::optional<SoundBufferFormat> format = s.sound.bufferFormat(slot);
        FUZZ_CHECK(format.has_value(), "a loaded slot reports its format");
        FUZZ_CHECK(format->channels == (header.channels > 1 ? 2 : 1), "more than one channel is stereo, else mono");
        FUZZ_CHECK(format->bufferBytes == header.dataSize, "the buffer is as long as the header says");
        FUZZ_CHECK(format->samplesPerSecond == header.sampleRate, "the buffer plays at the header's rate");
        const std::span<const std::uint8_t> samples = s.sound.deviceSamples(slot);
        FUZZ_CHECK(!samples.empty() && samples.size() % s.deviceFrameBytes == 0,
                   "device samples are whole sample frames of the device's format");
    }
    s.sound.play(slot);
    s.sound.play(slot);
    return 0;
}
