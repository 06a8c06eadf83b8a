// world_drawing.cpp -- drawing the world's tables and chat, and playing its effects.
#include "client/world/world_drawing.h"

#include <algorithm>
#include <string>

#include "client/media/client_media.h"

namespace kestrane {

namespace {

// The picture, then bar and name under the picture of the record's own frame, even for a
// player who is down, so they do not jump when the downed picture has another size.
void drawPlayer(const PlayerRecord& player, ClientMedia& media) {
    media.playerSprites.draw(media.display, player.shownFrame(), player.x, player.y);
    auto dc = media.display.getDC();
    if (!dc) {
        return;
    }
    const SpriteFrame* picture = media.playerSprites.frame(player.safeFrame());
    const int hotSpotY = picture != nullptr ? picture->hotSpotY() : 0;
    const int height = picture != nullptr ? picture->height() : 0;
    const std::string_view text = nameText(player.name);
    const int labelX = static_cast<int>(player.x) - static_cast<int>(text.size() / 2) * kNameCellWidth;
    const int labelY = static_cast<int>(player.y) - hotSpotY + height;

    const Rgb previousBrush = dc->selectBrush(energyBarBrush);
    dc->rectangle(labelX, labelY, labelX + player.energy / 3, labelY + kEnergyBarHeight);
    dc->selectBrush(previousBrush);

    dc->setTextColor(kNameColour);
    dc->textOut(labelX, labelY + kEnergyBarHeight + 1, text);
}

}  // namespace

void drawBullets(const ClientWorld& world, ClientMedia& media) {
    for (const BulletRecord& bullet : world.bulletRecords) {
        media.bulletSprites.draw(media.display, bullet.frame, bullet.x, bullet.y);
    }
}

void drawPlayers(const ClientWorld& world, ClientMedia& media) {
    for (const PlayerRecord& player : world.playerRecords) {
        drawPlayer(player, media);  // later ones on top
    }
}

void drawChatLines(const ClientWorld& world, ClientMedia& media) {
    if (world.chatLines.empty()) {
        return;
    }
    auto dc = media.display.getDC();
    if (!dc) {
        return;
    }
    for (std::size_t i = 0; i < world.chatLines.size(); ++i) {
        dc->textOut(kChatLeft, kChatTop + kChatLineSpacing * static_cast<int>(i), chatLineText(world.chatLines[i]));
    }
}

void drawChatInput(const ClientWorld& world, ClientMedia& media) {
    auto dc = media.display.getDC();
    if (!dc) {
        return;
    }
    const ChatBox& box = world.chatBox;
    const std::string_view text = box.chatTextView();
    const bool caretShown = world.frameView.caret;
    const std::size_t caret = std::min(box.caret(), text.size());
    if (caretShown && caret == text.size()) {
        dc->textOut(kChatLeft, kChatInputTop, std::string(text) + "|");
        return;
    }
    dc->textOut(kChatLeft, kChatInputTop, text);
    if (caretShown) {
        // Moved back into the text: the bar stands on the boundary before the caret's character.
        dc->textOut(kChatLeft + kChatCellWidth * static_cast<int>(caret) - kChatCellWidth / 2, kChatInputTop, "|");
    }
}

void drawWorld(const ClientWorld& world, ClientMedia& media) {
    media.copyBackground();
    drawBullets(world, media);
    drawPlayers(world, media);  // over the bullets
    drawChatLines(world, media);
    if (world.frameView.chatInput) {
        drawChatInput(world, media);
    }
    if (world.frameView.down) {
        media.etcSprites.draw(media.display, kDownPicture, kScreenCentreX, kScreenCentreY);
    }
}

void showFrame(const ClientWorld& world, ClientMedia& media) {
    drawWorld(world, media);
    media.display.present();
}

void playEffects(WorldOutbox& outbox, ClientMedia& media) {
    for (const int slot : outbox.sounds) {
        media.sound.play(slot);
    }
    outbox.sounds.clear();
    for (const int picture : outbox.pictures) {
        media.etcSprites.draw(media.display, picture, kScreenCentreX, kScreenCentreY);
        media.display.present();
    }
    outbox.pictures.clear();
}

}  // namespace kestrane
