// frame_tick.h -- one frame of the client: draw the world, show it, read the keys and send
// the player's actions.
#pragma once

namespace kestrane {

struct ClientWorld;

// Own bullets that may be in flight at once.
inline constexpr int kMaxShotsInFlight = 3;
inline constexpr int kMaxMinesInFlight = 5;

// Called by the main loop whenever the frame timer comes due (30 times a second). Does
// nothing at all while the world is stopped. Otherwise, in this order: background, bullets,
// players, chat lines; the typed line while the chat box is open, else a fresh keyboard
// snapshot (the box has the keys, so game keys keep their last state); F1 opens the chat
// when no move key is held; a player who is down sees the down picture and can only respawn
// with F10; present; then Space (shot) and left Alt (mine) within their limits, the turn
// keys, and the move keys with a Stop one frame after they are released. Keys never change
// the world directly: they send messages, and the world changes when the server relays them.
// Main thread only.
void frameTick(ClientWorld& world);

}  // namespace kestrane
