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

void ClientMedia::copyBackground() {
    backgroundSurface.copyTo(display.backBuffer(), 0, 0, display.screenRect(), Keying::None);
}

}  // namespace kestrane
