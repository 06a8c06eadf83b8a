// world_drawing.h -- the world on screen and its effects carried out with the client's media.
// Drawing only reads the world; the media objects do the rest.
#pragma once

#include "client/media/pixel.h"
#include "client/world/client_world.h"

namespace kestrane {

struct ClientMedia;

inline constexpr Rgb energyBarBrush{255, 0, 0};  // fills the energy bar
inline constexpr Rgb kNameColour{0, 0, 255};
inline constexpr Rgb kOwnNameColour{176, 0, 160};  // the local player's name, under a ring
inline constexpr Rgb kOwnRingColour{255, 220, 40};
inline constexpr Rgb kHitFlashColour{255, 64, 40};  // a ring that blinks after a hit
inline constexpr Rgb kChatColour{255, 255, 255};    // chat lines, each on a dark backdrop
inline constexpr Rgb kFeedColour{255, 255, 255};
inline constexpr Rgb kScoreColour{230, 234, 244};
inline constexpr Rgb kOwnScoreColour{255, 236, 64};
// The kill feed: right-aligned against the arena's right wall, newest at the bottom.
inline constexpr int kFeedRight = 604;
inline constexpr int kFeedTop = 84;
inline constexpr int kFeedLineSpacing = 20;
// The scoreboard: a table over the arena's middle.
inline constexpr int kScoreLeft = 142;
inline constexpr int kScoreTop = 92;
inline constexpr int kScoreWidth = 400;
inline constexpr int kScoreRowHeight = 18;
inline constexpr int kScoreRowsShown = 16;
inline constexpr int kEnergyBarHeight = 5;
inline constexpr int kNameCellWidth = 8;  // pixels per code page 949 byte of a name

// Draws one frame of `world` onto the display's back buffer, in this order: the background,
// bullets, players (each with the red energy bar under its picture and the blue name under
// the bar, the own player on a yellow ring with a magenta name, a player just hit in a
// blinking red ring; later players on top), chat lines, the kill feed, the typed line with
// its caret while the chat box is open, the down picture while the local player is down, and
// the scoreboard while Tab is held.
void drawWorld(const ClientWorld& world, ClientMedia& media);
// Its parts, in that order.
void drawBullets(const ClientWorld& world, ClientMedia& media);
void drawPlayers(const ClientWorld& world, ClientMedia& media);
// The chat lines at (20, 50 + 16 i), white on a darkened strip so they read over the wall.
void drawChatLines(const ClientWorld& world, ClientMedia& media);
// The kill feed: one line "killer [shot or mine] → victim" per kill, right-aligned.
void drawKillFeed(const ClientWorld& world, ClientMedia& media);
// Every player's name, kills, deaths and energy, best first, the own row in yellow.
void drawScoreboard(const ClientWorld& world, ClientMedia& media);
// The sound volume (0 to 100), or that the sound is off, at the bottom of the arena.
void drawVolume(ClientMedia& media, int percent, bool muted);
// The typed line at (20, 575), with a bar as caret in the frames the caret timer chose.
void drawChatInput(const ClientWorld& world, ClientMedia& media);
// drawWorld, then present: the `draw` a client passes to frameTick.
void showFrame(const ClientWorld& world, ClientMedia& media);
// Plays the outbox's sounds and shows its centre pictures (each drawn over the screen and
// presented at once), then empties both lists. Packets stay for the caller's session.
void playEffects(WorldOutbox& outbox, ClientMedia& media);

}  // namespace kestrane
