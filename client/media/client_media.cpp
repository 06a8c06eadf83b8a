// client_media.cpp -- start-up loading of the artwork and the background copy.
#include "client/media/client_media.h"

namespace kestrane {

bool ClientMedia::loadArtwork(const std::filesystem::path& directory) {
    const bool players = loadSpriteSet((directory / kPlayerSpriteFile).string(), playerSprites);
    const bool bullets = loadSpriteSet((directory / kBulletSpriteFile).string(), bulletSprites);
    const bool pictures = loadSpriteSet((directory / kEtcSpriteFile).string(), etcSprites);
    const bool background = backgroundSurface.loadBitmap((directory / kBackgroundFile).string());
    return players && bullets && pictures && background;
}

namespace {

FrameSize sizeOf(const SpriteFrame& frame) { return {frame.width(), frame.height(), frame.hotSpotX(), frame.hotSpotY()}; }

}  // namespace

SpriteSizes ClientMedia::spriteSizes() const {
    SpriteSizes sizes;
    for (std::size_t i = 0; i < sizes.player.size() && i < playerSprites.size(); ++i) {
        sizes.player[i] = sizeOf(playerSprites[i]);
    }
    for (std::size_t i = 0; i < sizes.bullet.size() && i < bulletSprites.size(); ++i) {
        sizes.bullet[i] = sizeOf(bulletSprites[i]);
    }
    return sizes;
}

void ClientMedia::copyBackground() {
    backgroundSurface.copyTo(display.backBuffer(), 0, 0, display.screenRect(), Keying::None);
}

}  // namespace kestrane
