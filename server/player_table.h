// player_table.h -- the server's player registry, which is also its connection table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/packet.h"
#include "common/player_info.h"
#include "common/stream_reader.h"
#include "platform/tcp_socket.h"
#include "server/server_log.h"
#include "server/server_status.h"

namespace kestrane {

// One connected player. The entry owns its socket: removing the entry closes it.
struct PlayerEntry {
    std::uint8_t number = 0;  // 1..255, the sender byte of everything this player sends
    TcpSocket socket;
    NameField name{};  // code page 949; all zero until the Join arrives
    // As the Join reported them; stored, never read again by the server.
    std::uint8_t energy = 100;
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::uint8_t spare = 0;
    std::uint8_t direction = 0;
    std::uint8_t motion = 0;
    std::uint8_t frame = 0;

    // Network-loop state for this connection.
    PacketStreamReader reader;    // completes packets split across reads
    bool connectionLost = false;  // reading found the peer gone; the worker drops the player

    // Bytes queued for this player and not yet sent, in the order they must go out.
    std::vector<std::uint8_t> pending;
    bool pendingHasRelay = false;  // a relayed packet is among them (its loss drops the player)
};

enum class SendResult {
    Sent,     // all of it went out
    Failed,   // nothing went out (error, or the send buffer is full)
    Partial,  // part of it went out: the player's stream is out of step for good
};

// The players in the order their connections were accepted. Player numbers run 1..255 over
// the life of the server and are never handed out twice.
// Not thread-safe: the server guards its table with ServerState::playersMutex, and every
// call below is made holding it. No index or reference is kept across calls.
class PlayerTable {
public:
    static constexpr std::uint8_t kLastNumber = 255;

    PlayerTable(ServerLog& log, ServerStatus& status) : log_(log), status_(status) {}

    // Takes an accepted connection in under the next number (see lastPlayerNumber).
    // False once 255 numbers have been handed out; the refused socket is closed.
    bool registerConnection(TcpSocket socket);
    // Index of the first entry with this number (low 8 bits compared), or -1.
    int findPlayer(unsigned number) const;
    // Stores the details of a Join payload (a short payload reads as zero-filled) and logs
    // the join line. False, with nothing stored or logged, when the number is unknown.
    bool recordJoin(std::uint8_t number, std::span<const std::uint8_t> payload);
    // Logs the leave line, sends what is still queued for the player (best effort), closes
    // the socket and erases the entry; the ones behind move up. False, doing nothing, when
    // the number is unknown.
    bool removePlayer(std::uint8_t number);
    // Writes the number of players (and the Player list) to the console's display.
    void showPlayerCount();

    // The number most recently handed out; 0 before the first connection.
    std::uint8_t lastPlayerNumber() const { return lastPlayerNumber_; }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    PlayerEntry& operator[](std::size_t index) { return entries_[index]; }
    const PlayerEntry& operator[](std::size_t index) const { return entries_[index]; }
    std::vector<PlayerEntry>::iterator begin() { return entries_.begin(); }
    std::vector<PlayerEntry>::iterator end() { return entries_.end(); }

    // Sending. Packets are queued per player and go out with flushAll, so that a busy
    // server sends several packets to a player in one call; the bytes and their order on
    // each connection are the same as if each packet were sent alone.

    // Queues a relayed packet for the player at `index`.
    void queueRelay(std::size_t index, std::span<const std::uint8_t> bytes);
    // Queues the header-only packet (0xAA, sender, type, 0) for the player at `index`.
    void queueHeader(std::size_t index, std::uint8_t sender, MsgType type);
    // Queues the header-only packet for every player, in table order.
    void broadcastHeader(std::uint8_t sender, MsgType type);
    // Sends what is queued for each player, one non-blocking send each. A player whose
    // relayed packets could not all go out (or whose stream a partial send has put out of
    // step) is gone: a Leave for it is queued for everyone, it is removed, and the flush
    // carries on until nothing is queued. Header-only packets that fail are dropped, and
    // the player stays.
    void flushAll();
    // The Leave for `number` to everyone, then removePlayer: how a player that vanished is
    // announced. Sent with the next flushAll.
    void dropPlayer(std::uint8_t number);
    // One non-blocking send straight to the player at `index` (the Welcome, which is the
    // first thing on a new connection and so has nothing queued before it).
    SendResult sendTo(std::size_t index, std::span<const std::uint8_t> bytes);

private:
    void showPlayerList();

    ServerLog& log_;
    ServerStatus& status_;
    std::vector<PlayerEntry> entries_;
    std::uint8_t lastPlayerNumber_ = 0;
};

}  // namespace kestrane
