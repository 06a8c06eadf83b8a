// The generated data files, as the build leaves them next to the programs.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

#include "client/media/client_media.h"
#include "platform/message_box.h"

namespace kestrane {
namespace {

std::vector<std::uint8_t> readAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::uint32_t u32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

std::uint16_t u16At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

int opaquePixels(const SpriteFrame& frame) {
    int count = 0;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            count += frame.surface().pixel(x, y) != 0;
        }
    }
    return count;
}

TEST(Artwork, SpriteSetsHaveTheLayoutTheWorldDrawsFrom) {
    MessageBoxCapture messages;
    ClientMedia media;
    ASSERT_TRUE(media.display.initOffscreen());
    ASSERT_TRUE(media.loadArtwork());
    EXPECT_TRUE(messages.texts().empty());

    for (std::size_t i = 0; i < kPlayerSpriteCount; ++i) {
        const SpriteFrame& frame = media.playerSprites[i];
        EXPECT_EQ(frame.width(), 32) << i;
        EXPECT_EQ(frame.height(), 40) << i;
        EXPECT_EQ(frame.hotSpotX(), 16) << i;
        EXPECT_EQ(frame.hotSpotY(), 20) << i;
        EXPECT_EQ(frame.surface().pixel(0, 0), 0) << "corners are transparent, frame " << i;
        EXPECT_GT(opaquePixels(frame), 200) << i;
    }
    // Every frame is a different picture: a walk cycle per direction, eight facings, the downed pose.
    std::set<std::vector<std::uint8_t>> pictures;
    for (const SpriteFrame& frame : media.playerSprites) {
        pictures.insert(frame.surface().toRgba());
    }
    EXPECT_EQ(pictures.size(), kPlayerSpriteCount);

    for (const SpriteSet* set : {&media.bulletSprites, &media.etcSprites}) {
        for (const SpriteFrame& frame : *set) {
            EXPECT_EQ(frame.hotSpotX(), frame.width() / 2);
            EXPECT_EQ(frame.hotSpotY(), frame.height() / 2);
            EXPECT_GT(opaquePixels(frame), 0);
        }
    }
    EXPECT_LT(media.bulletSprites[0].width(), 16) << "a shot is small next to a player";
    for (const SpriteFrame& picture : media.etcSprites) {
        EXPECT_LE(picture.width(), 800);
        EXPECT_LE(picture.height(), 600);
    }

    std::set<int> depths;
    for (const char* file : {kPlayerSpriteFile, kBulletSpriteFile, kEtcSpriteFile}) {
        const auto bytes = readAll(file);
        ASSERT_GE(bytes.size(), 14u);
        depths.insert(u16At(bytes, 12));
    }
    EXPECT_EQ(depths, (std::set<int>{8, 16, 24}));

    EXPECT_EQ(media.backgroundSurface.width(), 800);
    EXPECT_EQ(media.backgroundSurface.height(), 600);
}

TEST(Artwork, SoundsHaveCanonicalHeadersInMixedFormats) {
    std::set<std::tuple<int, int, int>> formats;  // channels, bits, rate
    std::vector<double> seconds;
    for (int n = 1; n <= 6; ++n) {
        const std::string name = std::to_string(n) + ".wav";
        const auto bytes = readAll(name);
        ASSERT_GE(bytes.size(), 44u) << name;
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF") << name;
        EXPECT_EQ(u32At(bytes, 4), bytes.size() - 8) << name;
        EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ") << name;
        EXPECT_EQ(u32At(bytes, 16), 16u) << name;
        EXPECT_EQ(u16At(bytes, 20), 1) << name;
        EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data") << name;
        EXPECT_EQ(u32At(bytes, 40), bytes.size() - 44) << name;
        const int channels = u16At(bytes, 22), bits = u16At(bytes, 34);
        const std::uint32_t rate = u32At(bytes, 24);
        EXPECT_EQ(u16At(bytes, 32), channels * bits / 8) << name;
        EXPECT_EQ(u32At(bytes, 28), rate * channels * bits / 8) << name;
        formats.insert({channels, bits, static_cast<int>(rate)});
        seconds.push_back(static_cast<double>(bytes.size() - 44) / u32At(bytes, 28));
    }
    EXPECT_TRUE(formats.count({1, 8, 11025}));
    EXPECT_TRUE(formats.count({2, 16, 22050}));
    // The footstep restarts every frame while walking, and the join chime on every join.
    EXPECT_LE(seconds[2], 1.0 / 30.0);
    EXPECT_LE(seconds[5], 1.0);

    SoundEffects sound;
    ASSERT_TRUE(sound.init());
    for (int slot = 0; slot < kSoundSlotCount; ++slot) {
        EXPECT_TRUE(sound.slotLoaded(slot)) << slot;
    }
}

}  // namespace
}  // namespace kestrane
