// world_drawing.cpp -- drawing the world's tables and chat, and playing its effects.
#include "client/world/world_drawing.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "client/media/client_media.h"
#include "client/world/score_board.h"

namespace kestrane {

namespace {

// Halves the brightness of the back buffer inside the rectangle (clipped) `times` times: a
// backdrop that keeps what lies under it recognisable.
void darken(Display& display, int left, int top, int right, int bottom, int times = 1) {
    Surface& target = display.backBuffer();
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, static_cast<int>(target.width()));
    bottom = std::min(bottom, static_cast<int>(target.height()));
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            std::uint16_t pixel = target.pixel(x, y).value_or(0);
            for (int i = 0; i < times; ++i) {
                pixel = static_cast<std::uint16_t>((pixel >> 1) & 0x7BEF);
            }
            target.setPixel(x, y, pixel);
        }
    }
}

// An ellipse outline about two pixels thick, centred on (cx, cy) with radii rx and ry.
void ring(Display& display, int cx, int cy, int rx, int ry, Rgb colour) {
    Surface& target = display.backBuffer();
    const std::uint16_t ink = toRgb565(colour);
    for (int y = cy - ry - 1; y <= cy + ry + 1; ++y) {
        for (int x = cx - rx - 1; x <= cx + rx + 1; ++x) {
            const double u = static_cast<double>(x - cx) / rx;
            const double v = static_cast<double>(y - cy) / ry;
            const double d = u * u + v * v;
            if (d > 0.78 && d < 1.22) {
                target.setPixel(x, y, ink);
            }
        }
    }
}

int textWidth(std::string_view cp949Text) { return static_cast<int>(cp949Text.size()) * kNameCellWidth; }

// The picture, then bar and name under the picture of the record's own frame, even for a
// player who is down, so they do not jump when the downed picture has another size. The own
// player stands on a ring; a player just hit blinks in a red one.
void drawPlayer(const PlayerRecord& player, bool own, ClientMedia& media) {
    const SpriteFrame* picture = media.playerSprites.frame(player.safeFrame());
    const int hotSpotY = picture != nullptr ? picture->hotSpotY() : 0;
    const int height = picture != nullptr ? picture->height() : 0;
    const int feetY = static_cast<int>(player.y) - hotSpotY + height - 3;
    if (own) {
        ring(media.display, player.x, feetY, 17, 6, kOwnRingColour);
    }
    media.playerSprites.draw(media.display, player.shownFrame(), player.x, player.y);
    if (player.hitFlash % 2 == 1) {
        ring(media.display, player.x, player.y, 22, 26, kHitFlashColour);
    }
    auto dc = media.display.getDC();
    if (!dc) {
        return;
    }
    const std::string_view text = nameText(player.name);
    const int labelX = static_cast<int>(player.x) - static_cast<int>(text.size() / 2) * kNameCellWidth;
    const int labelY = static_cast<int>(player.y) - hotSpotY + height;

    const Rgb previousBrush = dc->selectBrush(energyBarBrush);
    dc->rectangle(labelX, labelY, labelX + player.energy / 3, labelY + kEnergyBarHeight);
    dc->selectBrush(previousBrush);

    dc->setTextColor(own ? kOwnNameColour : kNameColour);
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
        drawPlayer(player, player.number == world.localPlayerNumber(), media);  // later ones on top
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
    dc->setTextColor(kChatColour);
    for (std::size_t i = 0; i < world.chatLines.size(); ++i) {
        const std::string_view text = chatLineText(world.chatLines[i]);
        const int y = kChatTop + kChatLineSpacing * static_cast<int>(i);
        darken(media.display, kChatLeft - 3, y, kChatLeft + textWidth(text) + 3, y + kChatLineSpacing);
        dc->textOut(kChatLeft, y, text);
    }
}

void drawKillFeed(const ClientWorld& world, ClientMedia& media) {
    if (world.killFeed.empty()) {
        return;
    }
    auto dc = media.display.getDC();
    if (!dc) {
        return;
    }
    constexpr int kIconWidth = 16;
    constexpr std::string_view kArrow = "\xA1\xE6";  // a right arrow in code page 949
    dc->setTextColor(kFeedColour);
    int y = kFeedTop;
    for (const KillFeedLine& line : world.killFeed) {
        const std::string text = std::string(nameText(line.killerName)) + " " + std::string(kArrow) + " " +
                                 std::string(nameText(line.victimName));
        const int textLeft = kFeedRight - textWidth(text);
        const int left = textLeft - kIconWidth - 4;
        darken(media.display, left - 3, y - 1, kFeedRight + 3, y + kFeedLineSpacing - 3);
        media.bulletSprites.draw(media.display, line.kind * kBulletFramesPerKind, left + kIconWidth / 2,
                                 y + kChatLineSpacing / 2);
        dc->textOut(textLeft, y, text);
        y += kFeedLineSpacing;
    }
}

void drawScoreboard(const ClientWorld& world, ClientMedia& media) {
    std::vector<ScoreRow> rows = scoreboard(world);
    if (rows.size() > kScoreRowsShown) {
        // Too many to list: the best ones, and the own row in the last place when it is lower.
        const auto own = std::find_if(rows.begin(), rows.end(), [](const ScoreRow& row) { return row.own; });
        if (own != rows.end() && own - rows.begin() >= kScoreRowsShown) {
            rows[kScoreRowsShown - 1] = *own;
        }
        rows.resize(kScoreRowsShown);
    }
    const int bottom = kScoreTop + kScoreRowHeight * (static_cast<int>(rows.size()) + 2) + 8;
    darken(media.display, kScoreLeft, kScoreTop, kScoreLeft + kScoreWidth, bottom, 2);
    auto dc = media.display.getDC();
    if (!dc) {
        return;
    }
    const int nameX = kScoreLeft + 36;
    const int killsX = kScoreLeft + 220;
    const int deathsX = kScoreLeft + 280;
    const int energyX = kScoreLeft + 344;
    int y = kScoreTop + 6;
    dc->setTextColor(kOwnScoreColour);
    dc->textOut(nameX, y, "PLAYER");
    dc->textOut(killsX, y, "KILLS");
    dc->textOut(deathsX, y, "DEATHS");
    dc->textOut(energyX, y, "ENERGY");
    y += kScoreRowHeight + 4;
    char cell[16];
    int rank = 0;
    for (const ScoreRow& row : rows) {
        ++rank;
        dc->setTextColor(row.own ? kOwnScoreColour : kScoreColour);
        std::snprintf(cell, sizeof cell, row.own ? ">%d" : "%2d", rank);
        dc->textOut(kScoreLeft + 8, y, cell);
        dc->textOut(nameX, y, nameText(row.name));
        std::snprintf(cell, sizeof cell, "%5d", row.kills);
        dc->textOut(killsX, y, cell);
        std::snprintf(cell, sizeof cell, "%6d", row.deaths);
        dc->textOut(deathsX, y, cell);
        std::snprintf(cell, sizeof cell, "%6d", row.energy);
        dc->textOut(energyX, y, cell);
        y += kScoreRowHeight;
    }
}

void drawVolume(ClientMedia& media, int percent, bool muted) {
    constexpr int kLeft = 252;
    constexpr int kTop = 432;
    constexpr int kBarWidth = 100;
    darken(media.display, kLeft, kTop, kLeft + 180, kTop + 26);
    auto dc = media.display.getDC();
    if (!dc) {
        return;
    }
    dc->setTextColor(kWhite);
    if (muted) {
        dc->textOut(kLeft + 8, kTop + 5, "SOUND OFF");
        return;
    }
    char text[16];
    std::snprintf(text, sizeof text, "VOL %3d", std::clamp(percent, 0, 100));
    dc->textOut(kLeft + 8, kTop + 5, text);
    const Rgb previous = dc->selectBrush(kWhite);
    dc->rectangle(kLeft + 72, kTop + 8, kLeft + 72 + kBarWidth, kTop + 18);
    dc->selectBrush(kOwnRingColour);
    dc->rectangle(kLeft + 72, kTop + 8, kLeft + 72 + std::clamp(percent, 0, 100) * kBarWidth / 100, kTop + 18);
    dc->selectBrush(previous);
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
    drawKillFeed(world, media);
    if (world.frameView.chatInput) {
        drawChatInput(world, media);
    }
    if (world.frameView.down) {
        media.etcSprites.draw(media.display, kDownPicture, kScreenCentreX, kScreenCentreY);
    }
    if (world.frameView.scoreboard) {
        drawScoreboard(world, media);
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
