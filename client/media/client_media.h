// client_media.h -- every media object of one client, owned together.
#pragma once

#include <filesystem>

#include "client/media/display.h"
#include "client/media/keyboard.h"
#include "client/media/sound_effects.h"
#include "client/media/sprite_set.h"
#include "client/media/surface.h"

namespace kestrane {

inline constexpr std::size_t kPlayerSpriteCount = 25;  // 3 per direction, then the downed player
inline constexpr std::size_t kBulletSpriteCount = 6;   // shot 0..2, mine 3..5
inline constexpr std::size_t kEtcSpriteCount = 3;      // centre pictures: joined, down, server closed
inline constexpr int kDeadFrame = 24;

inline constexpr const char* kPlayerSpriteFile = "Player.spr";
inline constexpr const char* kBulletSpriteFile = "bullet.Spr";
inline constexpr const char* kEtcSpriteFile = "Etc.Spr";
inline constexpr const char* kBackgroundFile = "background.bmp";

// The client's media, built empty; the client program sets each part up at start-up (the
// display with its window, sound, input), bots and tests only what they need. Members are
// destroyed in reverse order: sound, keyboard, input system, then every surface, then the
// display. Main thread only.
struct ClientMedia {
    Display display;
    SpriteSet playerSprites{kPlayerSpriteCount};
    SpriteSet bulletSprites{kBulletSpriteCount};
    SpriteSet etcSprites{kEtcSpriteCount};
    Surface backgroundSurface;
    InputSystem input;
    KeyboardDevice keyboard;
    SoundEffects sound;

    // Loads the three sprite sets and the background from `directory` (the working directory
    // when empty), in the start-up order; each failure has shown its message and leaves that
    // part undrawn. True when all four loaded.
    bool loadArtwork(const std::filesystem::path& directory = {});
    // The first drawing of every frame: the background's top-left screen-sized part onto the
    // back buffer, unkeyed.
    void copyBackground();
};

}  // namespace kestrane
