// Sound effects on the dummy audio device: formats, missing files, damaged headers, restarts.
#include <gtest/gtest.h>

#include <SDL_mixer.h>

#include "client/media/sound_effects.h"
#include "tests/media/test_files.h"

namespace kestrane {
namespace {

using testing::Bytes;
using testing::TempDir;
using testing::WaveFields;
using testing::writeWave;

constexpr WaveFields kMono8{1, 11025, 1, 8, 0};
constexpr WaveFields kStereo16{2, 22050, 4, 16, 0};

// A tone long enough to be still playing when the test looks again.
Bytes tone(const WaveFields& fields, double seconds) {
    Bytes samples(static_cast<std::size_t>(fields.sampleRate * seconds) * fields.blockAlign);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::uint8_t>(i * 37);
    }
    return samples;
}

void writeAllSix(const TempDir& dir, double seconds) {
    for (int n = 1; n <= 6; ++n) {
        const WaveFields& fields = n % 2 == 1 ? kMono8 : kStereo16;
        writeWave(dir.file(std::to_string(n) + ".wav"), fields, tone(fields, seconds));
    }
}

TEST(SoundEffects, PlayWithoutInitIsSilentButCounted) {
    SoundEffects sound;
    std::vector<int> heard;
    sound.setPlayListener([&](int slot) { heard.push_back(slot); });
    sound.play(1);
    sound.play(-1);
    sound.play(6);
    EXPECT_FALSE(sound.ready());
    EXPECT_FALSE(sound.isPlaying(1));
    EXPECT_EQ(sound.playCount(1), 1);
    EXPECT_EQ(heard, std::vector<int>{1});
    EXPECT_FALSE(sound.loadWave("1.wav", 0)) << "no device to load into";
}

TEST(SoundEffects, BuffersTakeTheirFormatFromTheHeader) {
    TempDir dir;
    writeWave(dir.file("1.wav"), kMono8, tone(kMono8, 0.1));
    writeWave(dir.file("2.wav"), kStereo16, tone(kStereo16, 0.1));
    writeWave(dir.file("3.wav"), {0, 22050, 2, 16, 0}, tone({0, 22050, 2, 16, 0}, 0.1));
    writeWave(dir.file("4.wav"), {5, 8000, 10, 16, 0}, tone({5, 8000, 10, 16, 0}, 0.1));
    SoundEffects sound;
    ASSERT_TRUE(sound.init(dir.path()));

    const auto mono = sound.bufferFormat(0);
    ASSERT_TRUE(mono.has_value());
    EXPECT_EQ(mono->channels, 1);
    EXPECT_EQ(mono->samplesPerSecond, 11025u);
    EXPECT_EQ(mono->averageBytesPerSecond, 11025u);
    EXPECT_EQ(mono->blockAlign, 1);
    EXPECT_EQ(mono->bitsPerSample, 8);

    const auto stereo = sound.bufferFormat(1);
    ASSERT_TRUE(stereo.has_value());
    EXPECT_EQ(stereo->channels, 2);
    EXPECT_EQ(stereo->samplesPerSecond, 22050u);
    EXPECT_EQ(stereo->blockAlign, 4);
    EXPECT_EQ(stereo->averageBytesPerSecond, 88200u);
    EXPECT_EQ(stereo->bitsPerSample, 16);
    EXPECT_EQ(stereo->bufferBytes, 8820u);

    EXPECT_EQ(sound.bufferFormat(2)->channels, 1) << "channel count 0 gives a mono buffer";
    EXPECT_EQ(sound.bufferFormat(3)->channels, 2) << "more than two channels give a stereo buffer";
    EXPECT_FALSE(sound.slotLoaded(4));
}

TEST(SoundEffects, AMissingFileSilencesOnlyItsSlot) {
    TempDir dir;
    writeAllSix(dir, 1.0);
    std::filesystem::remove(dir.file("3.wav"));
    SoundEffects sound;
    ASSERT_TRUE(sound.init(dir.path()));
    EXPECT_TRUE(sound.ready());
    for (int slot = 0; slot < kSoundSlotCount; ++slot) {
        EXPECT_EQ(sound.slotLoaded(slot), slot != 2) << slot;
    }
    sound.play(2);
    sound.play(0);
    sound.play(3);
    EXPECT_FALSE(sound.isPlaying(2));
    EXPECT_TRUE(sound.isPlaying(0)) << "different slots sound together";
    EXPECT_TRUE(sound.isPlaying(3));
    EXPECT_EQ(sound.playCount(2), 1);
}

TEST(SoundEffects, PlayingASlotAgainRestartsItsOneVoice) {
    TempDir dir;
    writeAllSix(dir, 2.0);
    SoundEffects sound;
    ASSERT_TRUE(sound.init(dir.path()));
    sound.play(0);
    EXPECT_EQ(sound.restartCount(0), 0);
    sound.play(0);
    EXPECT_EQ(sound.restartCount(0), 1);
    EXPECT_TRUE(sound.isPlaying(0));
    int voices = 0;
    for (int channel = 0; channel < Mix_AllocateChannels(-1); ++channel) {
        voices += Mix_Playing(channel);
    }
    EXPECT_EQ(voices, 1) << "the first playback was stopped, not overlapped";
}

TEST(SoundEffects, ShortDataPlaysSilenceAndUnusableHeadersLeaveTheSlotEmpty) {
    TempDir dir;
    int frequency = 0, channels = 0;
    Uint16 format = 0;
    SoundEffects sound;
    ASSERT_TRUE(sound.init(dir.path()));
    ASSERT_TRUE(Mix_QuerySpec(&frequency, &format, &channels));

    // In the device's own format nothing is converted, so the bytes can be compared.
    const WaveFields device{static_cast<std::uint16_t>(channels), static_cast<std::uint32_t>(frequency),
                          static_cast<std::uint16_t>(channels * 2), 16, 4000};
    ASSERT_EQ(format, AUDIO_S16LSB);
    writeWave(dir.file("short.wav"), device, Bytes(1000, 0x55));
    ASSERT_TRUE(sound.loadWave(dir.file("short.wav"), 0));
    const auto samples = sound.deviceSamples(0);
    ASSERT_EQ(samples.size(), 4000u);
    EXPECT_EQ(std::count(samples.begin(), samples.begin() + 1000, 0x55), 1000);
    EXPECT_EQ(std::count(samples.begin() + 1000, samples.end(), 0), 3000);
    EXPECT_EQ(sound.bufferFormat(0)->bufferBytes, 4000u);

    // 8-bit silence is the middle value, which becomes 0 in the device's signed format.
    writeWave(dir.file("short8.wav"), {1, static_cast<std::uint32_t>(frequency), 1, 8, 100}, Bytes(10, 0xFF));
    ASSERT_TRUE(sound.loadWave(dir.file("short8.wav"), 1));
    const auto converted = sound.deviceSamples(1);
    ASSERT_EQ(converted.size(), 100u * 2 * channels);
    EXPECT_EQ(std::count(converted.begin() + 10 * 2 * channels, converted.end(), 0),
              static_cast<std::ptrdiff_t>(90 * 2 * channels));

    const std::vector<std::pair<std::string, WaveFields>> refused{
        {"12 bits", {1, 11025, 2, 12, 0}},
        {"32 bits", {1, 11025, 4, 32, 0}},
        {"no sample rate", {1, 0, 1, 8, 0}},
        {"no data", {1, 11025, 1, 8, 0}},
        {"absurd size", {1, 11025, 1, 8, 0xFFFFFFF0}},
        // 6.5 MB at 56 samples a second would take 41 GB at the device's rate.
        {"too long once converted", {2, 56, 4, 16, 0x640040}},
        // 16 frames at 30 times the device's rate come to less than one.
        {"nothing left once converted", {2, 1314828, 4, 16, 64}},
    };
    for (const auto& [name, fields] : refused) {
        writeWave(dir.file("bad.wav"), fields, name == "no data" ? Bytes{} : Bytes(64, 1));
        EXPECT_FALSE(sound.loadWave(dir.file("bad.wav"), 2)) << name;
        EXPECT_FALSE(sound.slotLoaded(2)) << name;
    }
    testing::writeFile(dir.file("tiny.wav"), Bytes(43, 0));
    EXPECT_FALSE(sound.loadWave(dir.file("tiny.wav"), 2));
    EXPECT_FALSE(sound.loadWave(dir.file("absent.wav"), 2));
    EXPECT_FALSE(sound.loadWave(dir.file("short.wav"), 6));
}

}  // namespace
}  // namespace kestrane
