// sound_effects.cpp -- SoundEffects: slots, counts and the listener, sounding through an output.
#include "client/media/sound_effects.h"

#include <algorithm>

namespace kestrane {

namespace {

bool validSlot(int slot) { return slot >= 0 && slot < kSoundSlotCount; }

}  // namespace

SoundEffects::SoundEffects() = default;

SoundEffects::~SoundEffects() { releaseAll(); }

void SoundEffects::releaseAll() {
    ready_ = false;
    for (auto& format : formats_) {
        format.reset();
    }
    output_.reset();  // its slots go with it, then the device
}

void SoundEffects::initWithOutput(std::unique_ptr<SoundOutput> output, const std::filesystem::path& directory) {
    releaseAll();
    output_ = std::move(output);
    for (int slot = 0; slot < kSoundSlotCount; ++slot) {
        loadWave(directory / (std::to_string(slot + 1) + ".wav"), slot);
    }
    ready_ = output_ != nullptr;
    setVolume(volume_);
}

void SoundEffects::setVolume(int percent) {
    volume_ = std::clamp(percent, 0, 100);
    if (output_ != nullptr) {
        output_->setVolume(volume_);
    }
}

bool SoundEffects::loadWave(const std::filesystem::path& path, int slot) {
    if (!validSlot(slot)) {
        return false;
    }
    const auto index = static_cast<std::size_t>(slot);
    formats_[index].reset();
    if (output_ == nullptr) {
        return false;
    }
    output_->unload(slot);
    const std::optional<WaveSound> sound = readWaveFile(path);
    if (!sound || !output_->load(slot, *sound)) {
        return false;
    }
    formats_[index] = sound->format;
    return true;
}

void SoundEffects::play(int slot) {
    if (!validSlot(slot)) {
        return;
    }
    const auto index = static_cast<std::size_t>(slot);
    ++playCounts_[index];
    if (listener_) {
        listener_(slot);
    }
    if (!ready_ || !formats_[index]) {
        return;
    }
    if (output_->play(slot)) {
        ++restartCounts_[index];
    }
}

bool SoundEffects::slotLoaded(int slot) const { return validSlot(slot) && formats_[static_cast<std::size_t>(slot)]; }

std::optional<SoundBufferFormat> SoundEffects::bufferFormat(int slot) const {
    return slotLoaded(slot) ? formats_[static_cast<std::size_t>(slot)] : std::nullopt;
}

bool SoundEffects::isPlaying(int slot) const { return slotLoaded(slot) && output_->isPlaying(slot); }

std::span<const std::uint8_t> SoundEffects::deviceSamples(int slot) const {
    return slotLoaded(slot) ? output_->samples(slot) : std::span<const std::uint8_t>{};
}

int SoundEffects::playCount(int slot) const { return validSlot(slot) ? playCounts_[static_cast<std::size_t>(slot)] : 0; }

int SoundEffects::restartCount(int slot) const {
    return validSlot(slot) ? restartCounts_[static_cast<std::size_t>(slot)] : 0;
}

}  // namespace kestrane
