// world_drawing.h -- the world on screen and its effects carried out with the client's media.
// Drawing only reads the world; the media objects do the rest.
#pragma once

#include "client/media/pixel.h"
#include "client/world/client_world.h"

namespace kestrane {

struct ClientMedia;

inline constexpr Rgb energyBarBrush{255, 0, 0};  // fills the energy bar
inline constexpr Rgb kNameColour{0, 0, 255};
inline constexpr int kEnergyBarHeight = 5;
inline constexpr int kNameCellWidth = 8;  // pixels per code page 949 byte of a name

// Draws one frame of `world` onto the display's back buffer, in this order: the background,
// bullets, players (each with the red energy bar under its picture and the blue name under
// the bar; later players on top), chat lines, the typed line with its caret while the chat
// box is open, and the down picture while the local player is down.
void drawWorld(const ClientWorld& world, ClientMedia& media);
// Its parts, in that order.
void drawBullets(const ClientWorld& world, ClientMedia& media);
void drawPlayers(const ClientWorld& world, ClientMedia& media);
// The chat lines at (20, 50 + 16 i).
void drawChatLines(const ClientWorld& world, ClientMedia& media);
// The typed line at (20, 575), with a bar as caret in the frames the caret timer chose.
void drawChatInput(const ClientWorld& world, ClientMedia& media);
// drawWorld, then present: the `draw` a client passes to frameTick.
void showFrame(const ClientWorld& world, ClientMedia& media);
// Plays the outbox's sounds and shows its centre pictures (each drawn over the screen and
// presented at once), then empties both lists. Packets stay for the caller's session.
void playEffects(WorldOutbox& outbox, ClientMedia& media);

}  // namespace kestrane
