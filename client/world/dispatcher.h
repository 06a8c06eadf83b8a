// dispatcher.h -- applies received packets to the world, one per call, in arrival order.
#pragma once

#include "common/packet.h"

namespace kestrane {

struct ClientWorld;

// Centre pictures of the Etc sprite set, drawn with their hot spot at the screen's centre.
inline constexpr int kJoinedPicture = 0;
inline constexpr int kDownPicture = 1;
inline constexpr int kServerClosedPicture = 2;
inline constexpr int kScreenCentreX = 400;
inline constexpr int kScreenCentreY = 300;

// Applies the front record of the session's queue, then removes it; nothing when the queue
// is empty. The main loop calls it on every idle pass, so any number of packets may apply
// between two frames. Main thread only.
void dispatchNextPacket(ClientWorld& world);
// Applies one record: a join, resume, chat line, leave, steering, stop, player state,
// position, tick, server closing, fire or hit. Every type applies whether or not the world
// is running. Unknown types, and records shorter than their message's payload, change nothing.
void applyPacket(ClientWorld& world, const PacketRecord& record);
// Drops every queued record unapplied (shutdown, after the receive thread has ended).
void clearPacketQueue(ClientWorld& world);

}  // namespace kestrane
