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
    bool desynchronised = false;  // a send put only part of a packet on the wire
};

enum class SendResult {
    Sent,     // the whole packet went out
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
    // Logs the leave line, closes the socket and erases the entry; the ones behind move up.
    // False, doing nothing, when the number is unknown.
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

    // One non-blocking send of a whole packet to the player at `index`. A partial send
    // marks the entry desynchronised.
    SendResult sendTo(std::size_t index, std::span<const std::uint8_t> bytes);
    // Sends the header-only packet (0xAA, sender, type, 0) to every player in table order,
    // skipping desynchronised ones. A failed send is ignored (the player just misses it);
    // a partial one marks the entry desynchronised for the caller to drop.
    void broadcastHeader(std::uint8_t sender, MsgType type);
    // Index of the first desynchronised entry, or -1.
    int findDesynchronised() const;

private:
    void showPlayerList();

    ServerLog& log_;
    ServerStatus& status_;
    std::vector<PlayerEntry> entries_;
    std::uint8_t lastPlayerNumber_ = 0;
};

}  // namespace kestrane
