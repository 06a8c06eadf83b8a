// dispatcher.h -- applies received packets to the world, one per call, in arrival order.
#pragma once

#include "common/packet.h"
#include "common/packet_queue.h"

namespace kestrane {

struct ClientWorld;

// Applies the front record of `queue` (the session's), then removes it; nothing when the
// queue is empty. The main loop calls it on every idle pass, so any number of packets may
// apply between two frames. Main thread only.
void dispatchNextPacket(ClientWorld& world, PacketQueue& queue);
// Applies one record: a join, resume, chat line, leave, steering, stop, player state,
// position, tick, server closing, fire or hit. Every type applies whether or not the world
// is running. Unknown types, and records shorter than their message's payload, change nothing.
// What it asks of the outside world (answers, sounds, centre pictures) goes into the outbox.
void applyPacket(ClientWorld& world, const PacketRecord& record);

}  // namespace kestrane
