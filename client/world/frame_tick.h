// frame_tick.h -- one frame of the client: animate, let the caller draw, read the keys and
// ask for the player's actions.
#pragma once

#include <functional>

#include "client/world/key_snapshot.h"

namespace kestrane {

struct ClientWorld;

// Own bullets that may be in flight at once.
inline constexpr int kMaxShotsInFlight = 3;
inline constexpr int kMaxMinesInFlight = 5;

// Called by the main loop whenever the frame timer comes due (30 times a second). Does
// nothing at all while the world is stopped (`draw` is not called: the screen keeps what it
// showed last, e.g. a centre picture). Otherwise, in this order: bullets and standing players
// animate, old chat lines are trimmed; with the chat box open its text and caret are taken,
// else `keys` becomes the snapshot the frame goes by (the box has the keys, so game keys keep
// their last state); F1 opens the chat when no move key is held; `draw` draws and shows the
// frame (world_drawing.h; may be empty), with the scoreboard while Tab is held; chat lines
// and the kill feed age; a player who is down can only
// respawn with F10; otherwise Space (shot) and left Alt (mine) within their limits, the turn
// keys, and the move keys with a Stop one frame after they are released. Keys never change
// the tables directly: they put messages into the outbox, and the world changes when the
// server relays them. Main thread only.
void frameTick(ClientWorld& world, const KeyState& keys, const std::function<void()>& draw = {});

}  // namespace kestrane
