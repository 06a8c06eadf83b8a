// client_media.h -- every media object of one client, owned together.
#pragma once

#include <filesystem>

#include "client/media/display.h"
#include "client/media/keyboard.h"
#include "client/media/sound_effects.h"
#include "client/media/sprite_set.h"
#include "client/media/surface.h"
#include "client/world/sprite_sizes.h"

namespace kestrane {


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
    // The sizes and hot spots of the player and bullet frames, for the world's rules.
    SpriteSizes spriteSizes() const;
    // The first drawing of every frame: the background's top-left screen-sized part onto the
    // back buffer, unkeyed.
    void copyBackground();
};

}  // namespace kestrane
