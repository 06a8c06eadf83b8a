// fuzz_wav.cpp -- any file through the WAV reader, both from memory and from a file, and into
// a sound slot of an output that keeps what it is given. A file gives a sound only with a
// usable header, and then exactly the samples the header announces, in whole sample frames.
//
// Input: the file. Its size modulo 6 picks the slot.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "client/media/sound_effects.h"
#include "client/media/wave_file.h"
#include "fuzz/fuzz_support.h"

namespace kestrane::fuzz {
namespace {

// The device stand-in: keeps each slot's samples as they came.
class KeepingOutput final : public SoundOutput {
public:
    bool load(int slot, const WaveSound& sound) override {
        slots_[static_cast<std::size_t>(slot)] = sound.samples;
        return true;
    }
    void unload(int slot) override { slots_[static_cast<std::size_t>(slot)].clear(); }
    bool play(int) override { return false; }
    bool isPlaying(int) const override { return false; }
    std::span<const std::uint8_t> samples(int slot) const override { return slots_[static_cast<std::size_t>(slot)]; }
    void setVolume(int) override {}

private:
    std::vector<std::uint8_t> slots_[kSoundSlotCount];
};

struct Session {
    SoundEffects sound;
    MemoryFile file;
    Session() { sound.initWithOutput(std::make_unique<KeepingOutput>(), "/nonexistent-kestrane-fuzz"); }
};

Session& session() {
    static Session* instance = new Session;  // lives to the end: the fuzzer never returns
    return *instance;
}

// True when a slot may take this header: 8 or 16 bits, a sample rate, some data within the bound.
bool usableHeader(const WaveHeader& header) {
    return (header.bitsPerSample == 8 || header.bitsPerSample == 16) && header.sampleRate != 0 &&
           header.sampleRate <= 0x7FFFFFFF && header.dataSize != 0 && header.dataSize <= kMaxSoundBytes;
}

}  // namespace
}  // namespace kestrane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrane;
    using namespace kestrane::fuzz;
    Session& s = session();
    const std::optional<WaveSound> decoded = decodeWave({data, size});
    FUZZ_CHECK(s.file.write({data, size}), "the input can be written to a memory file");
    const int slot = static_cast<int>(size % kSoundSlotCount);
    const bool loaded = s.sound.loadWave(s.file.path(), slot);
    FUZZ_CHECK(loaded == decoded.has_value(), "the file and the memory reader agree");
    FUZZ_CHECK(loaded == s.sound.slotLoaded(slot), "the slot holds a sound exactly when the load succeeded");
    if (size < kWaveHeaderSize) {
        FUZZ_CHECK(!loaded, "a file shorter than its header is refused");
        return 0;
    }
    const WaveHeader header = parseWaveHeader(std::span<const std::uint8_t, kWaveHeaderSize>(data, kWaveHeaderSize));
    FUZZ_CHECK(loaded == usableHeader(header), "exactly the usable headers give a sound");
    if (loaded) {
        const std::optional<SoundBufferFormat> format = s.sound.bufferFormat(slot);
        FUZZ_CHECK(format.has_value(), "a loaded slot reports its format");
        FUZZ_CHECK(format->channels == (header.channels > 1 ? 2 : 1), "more than one channel is stereo, else mono");
        FUZZ_CHECK(format->bufferBytes == header.dataSize, "the buffer is as long as the header says");
        FUZZ_CHECK(format->samplesPerSecond == header.sampleRate, "the buffer plays at the header's rate");
        const std::span<const std::uint8_t> samples = s.sound.deviceSamples(slot);
        const std::size_t frameBytes = static_cast<std::size_t>(decoded->channels) * (decoded->sixteenBits ? 2 : 1);
        FUZZ_CHECK(samples.size() >= header.dataSize && samples.size() < header.dataSize + frameBytes &&
                       samples.size() % frameBytes == 0,
                   "the samples are the announced bytes in whole sample frames");
        FUZZ_CHECK(std::equal(samples.begin(), samples.end(), decoded->samples.begin(), decoded->samples.end()),
                   "the file and the memory reader give the same samples");
    }
    s.sound.play(slot);
    s.sound.play(slot);
    return 0;
}
