// sounds.cpp -- the six effects, synthesised: oscillators, filtered noise and envelopes.
#include <cmath>
#include <cstdint>
#include <numbers>

#include "tools/artgen/artwork.h"

namespace kestrane::art {

namespace {

constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

// A deterministic white-noise source.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state_(seed) {}
    float next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<float>(state_ & 0xFFFF) / 32767.5f - 1.0f;
    }

private:
    std::uint32_t state_;
};

// One-pole low-pass filter; `cutoff` in Hz.
class LowPass {
public:
    float run(float input, float cutoff, int rate) {
        const float a = 1.0f - std::exp(-kTwoPi * cutoff / static_cast<float>(rate));
        value_ += a * (input - value_);
        return value_;
    }

private:
    float value_ = 0;
};

float envelope(float t, float attack, float decay) {
    return t < attack ? t / attack : std::exp(-(t - attack) / decay);
}

// Fades the last `seconds` to zero, so a sound never ends on a click.
void fadeTail(std::vector<float>& samples, int channels, int rate, float seconds) {
    const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
    const auto tail = std::min(frames, static_cast<std::size_t>(seconds * static_cast<float>(rate)));
    for (std::size_t i = 0; i < tail; ++i) {
        const float gain = static_cast<float>(i) / static_cast<float>(tail);
        for (int c = 0; c < channels; ++c) {
            samples[(frames - 1 - i) * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] *= gain;
        }
    }
}

// Shot: a bright falling zap with a spit of noise at its start.
Sound shot() {
    Sound sound{1, 11025, 8, {}};
    const int n = static_cast<int>(0.17f * static_cast<float>(sound.sampleRate));
    Noise noise(7);
    LowPass smooth;
    float phase = 0;
    for (int i = 0; i < n; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(sound.sampleRate);
        const float frequency = 280.0f + 1500.0f * std::exp(-t / 0.035f);
        phase += frequency / static_cast<float>(sound.sampleRate);
        phase -= std::floor(phase);
        const float square = phase < 0.5f ? 1.0f : -1.0f;
        const float body = smooth.run(square, 2600.0f, sound.sampleRate);
        const float spit = noise.next() * std::exp(-t / 0.012f);
        sound.samples.push_back((0.55f * body + 0.35f * spit) * envelope(t, 0.002f, 0.06f));
    }
    fadeTail(sound.samples, 1, sound.sampleRate, 0.02f);
    return sound;
}

// A shot hitting the arena wall: a short dull knock.
Sound bulletGone() {
    Sound sound{1, 22050, 16, {}};
    const int n = static_cast<int>(0.13f * static_cast<float>(sound.sampleRate));
    Noise noise(11);
    LowPass dust;
    float phase = 0;
    for (int i = 0; i < n; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(sound.sampleRate);
        phase += (170.0f - 70.0f * t / 0.13f) / static_cast<float>(sound.sampleRate);
        const float knock = std::sin(kTwoPi * phase) * envelope(t, 0.001f, 0.03f);
        const float grit = dust.run(noise.next(), 1800.0f, sound.sampleRate) * envelope(t, 0.0005f, 0.02f);
        sound.samples.push_back(0.5f * knock + 0.55f * grit);
    }
    fadeTail(sound.samples, 1, sound.sampleRate, 0.02f);
    return sound;
}

// Footstep: the game restarts it every frame (about 33 ms) while the player walks, so it is a
// soft 30 ms scuff that has died away before the next one starts: together they make an even
// shuffle of steps instead of a buzz.
Sound footstep() {
    Sound sound{1, 22050, 8, {}};
    const int n = static_cast<int>(0.030f * static_cast<float>(sound.sampleRate));
    Noise noise(5);
    LowPass scuff;
    for (int i = 0; i < n; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(sound.sampleRate);
        const float thump = std::sin(kTwoPi * 95.0f * t) * envelope(t, 0.002f, 0.008f);
        const float grit = scuff.run(noise.next(), 1200.0f, sound.sampleRate) * envelope(t, 0.003f, 0.007f);
        sound.samples.push_back(0.28f * thump + 0.55f * grit);
    }
    fadeTail(sound.samples, 1, sound.sampleRate, 0.008f);
    return sound;
}

// Hit: a punchy thud with a crack, a little wider in stereo.
Sound hit() {
    Sound sound{2, 22050, 16, {}};
    const int n = static_cast<int>(0.24f * static_cast<float>(sound.sampleRate));
    Noise left(21), right(22);
    LowPass leftFilter, rightFilter;
    float phase = 0;
    for (int i = 0; i < n; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(sound.sampleRate);
        phase += (55.0f + 150.0f * std::exp(-t / 0.04f)) / static_cast<float>(sound.sampleRate);
        const float thud = std::sin(kTwoPi * phase) * envelope(t, 0.001f, 0.07f);
        const float cutoff = 600.0f + 5000.0f * std::exp(-t / 0.02f);
        const float crackLeft = leftFilter.run(left.next(), cutoff, sound.sampleRate) * envelope(t, 0.0005f, 0.03f);
        const float crackRight = rightFilter.run(right.next(), cutoff, sound.sampleRate) * envelope(t, 0.0005f, 0.03f);
        sound.samples.push_back(0.62f * thud + 0.5f * crackLeft);
        sound.samples.push_back(0.62f * thud + 0.5f * crackRight);
    }
    fadeTail(sound.samples, 2, sound.sampleRate, 0.03f);
    return sound;
}

// Player down: three falling notes that sag at the end.
Sound playerDown() {
    Sound sound{1, 44100, 16, {}};
    const float notes[] = {392.0f, 329.6f, 261.6f};  // G4, E4, C4
    const float noteLength = 0.17f;
    const int n = static_cast<int>(0.85f * static_cast<float>(sound.sampleRate));
    float phase = 0;
    LowPass soften;
    for (int i = 0; i < n; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(sound.sampleRate);
        const int note = std::min(static_cast<int>(t / noteLength), 2);
        const float inNote = t - static_cast<float>(note) * noteLength;
        float frequency = notes[note] * (1.0f + 0.012f * std::sin(kTwoPi * 6.0f * t));
        if (note == 2) {
            frequency *= std::exp(-std::max(0.0f, inNote - 0.12f) * 0.9f);
        }
        phase += frequency / static_cast<float>(sound.sampleRate);
        phase -= std::floor(phase);
        const float triangle = 4.0f * std::fabs(phase - 0.5f) - 1.0f;
        const float square = phase < 0.5f ? 0.6f : -0.6f;
        const float tone = soften.run(0.7f * triangle + 0.3f * square, 3000.0f, sound.sampleRate);
        const float gate = note < 2 ? envelope(inNote, 0.005f, 0.25f) * (inNote < noteLength - 0.01f ? 1.0f : 0.2f)
                                    : envelope(inNote, 0.005f, 0.3f);
        sound.samples.push_back(0.6f * tone * gate);
    }
    fadeTail(sound.samples, 1, sound.sampleRate, 0.05f);
    return sound;
}

// Player joined: a bright two-note chime, the second note a little to the right.
Sound playerJoined() {
    Sound sound{2, 44100, 16, {}};
    const int n = static_cast<int>(0.6f * static_cast<float>(sound.sampleRate));
    auto bell = [](float t, float frequency) {
        if (t < 0) {
            return 0.0f;
        }
        const float attack = std::min(1.0f, t / 0.003f);
        return attack * (std::sin(kTwoPi * frequency * t) * std::exp(-t / 0.22f) +
                         0.35f * std::sin(kTwoPi * frequency * 2.0f * t) * std::exp(-t / 0.1f) +
                         0.15f * std::sin(kTwoPi * frequency * 3.01f * t) * std::exp(-t / 0.05f));
    };
    for (int i = 0; i < n; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(sound.sampleRate);
        const float first = bell(t, 783.99f);          // G5
        const float second = bell(t - 0.11f, 1174.66f);  // D6
        sound.samples.push_back(0.38f * first + 0.26f * second);
        sound.samples.push_back(0.26f * first + 0.38f * second);
    }
    fadeTail(sound.samples, 2, sound.sampleRate, 0.06f);
    return sound;
}

}  // namespace

std::vector<Sound> soundEffects() { return {shot(), bulletGone(), footstep(), hit(), playerDown(), playerJoined()}; }

}  // namespace kestrane::art
