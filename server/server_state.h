// server_state.h -- the context the server's two threads share: log, display, queue and players.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "common/packet.h"
#include "common/packet_queue.h"
#include "server/player_table.h"
#include "server/server_log.h"
#include "server/server_status.h"

namespace kestrane {

// One server's shared state. The network loop (main thread) and the packet worker share
// exactly this: the queue (the loop appends, the worker removes), the player table (the
// loop registers and reads sockets, the worker sends, records joins and removes), and the
// log and display that both write.
struct ServerState {
    ServerLog log;
    ServerStatus status;
    PacketQueue queue;
    std::mutex playersMutex;            // guards `players`; hold it for every use of the table
    PlayerTable players{log, status};

    // What the input limits did over the run, for tests and benchmarks; any thread may read.
    std::atomic<std::uint64_t> packetsDropped{0};              // over a budget, or a repeated Join
    std::atomic<std::uint64_t> playersRemovedForFlooding{0};  // over a budget too long
};

// The note the network loop queues when reading finds a player's connection closed or
// failed. It travels through the queue so that the packets read before it are relayed first.
// It has no 0xAA marker, which no record read from the wire lacks.
PacketRecord makeConnectionLostNote(std::uint8_t number);
bool isConnectionLostNote(const PacketRecord& record);

}  // namespace kestrane
