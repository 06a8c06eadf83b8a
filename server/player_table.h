// player_table.h -- the server's player registry, which is also its connection table.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/packet.h"
#include "common/player_info.h"
#include "common/stream_reader.h"
#include "platform/clock.h"
#include "platform/tcp_socket.h"
#include "server/input_budget.h"
#include "server/log_pace.h"
#include "platform/send_backlog.h"
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

    std::optional<Ipv4Address> address;  // where the connection comes from, when the system tells
    bool joined = false;                 // its Join has been processed

    // Network-loop state for this connection.
    PacketStreamReader reader;    // completes packets split across reads
    bool connectionLost = false;  // reading found the peer gone, or it flooded; the worker drops it
    InputBudget budget;           // what it may still have relayed
    double lastJoinAt = -std::numeric_limits<double>::infinity();  // server clock, seconds
    LogPace invalidPackets;       // pace of its "invalid packet" lines
    LogPace droppedPackets;       // pace of its lines about packets dropped over budget

    // Bytes due to this player that its socket has not taken yet, in the order they must go
    // out, ahead of its part of the table's shared batch (see PlayerTable::queueForAll).
    SendBacklog backlog;
    std::size_t batchFrom = 0;  // its part of the shared batch starts here

    // The worker's Tick schedule for this connection (server clock, seconds).
    double lastTickAt = -std::numeric_limits<double>::infinity();  // read after its last Tick went to the socket
    // Stream positions (SendBacklog's count) of the Ticks queued for it that have not gone out
    // whole, oldest first. A Tick, and everything behind it, waits until the connection's
    // previous Tick is more than the tick interval old: the connection never sees two Ticks
    // closer than that, and every packet still reaches it in the order everyone gets it.
    std::vector<std::uint64_t> tickMarks;
    // When the Tick its last flush stopped at may go; +inf when it is not waiting for that.
    double holdEnd = std::numeric_limits<double>::infinity();
};

enum class SendResult {
    Sent,     // all of it went out
    Failed,   // nothing went out (error, or the send buffer is full)
    Partial,  // part of it went out: the player's stream is out of step for good
};

// The players in the order their connections were accepted. The first 255 connections of a
// run get the numbers 1..255 in order. After that a newcomer gets the number that has been
// free the longest; a number is free once its holder has been removed and its Leave has gone
// out to everyone (see flushAll), so no client can take the newcomer for the former holder.
// Not thread-safe: the server guards its table with ServerState::playersMutex, and every
// call below is made holding it. No index or reference is kept across calls.
class RecordingWriter;

class PlayerTable {
public:
    static constexpr std::uint8_t kLastNumber = 255;
    static constexpr std::size_t kDefaultBacklogBound = 64 * 1024;

    PlayerTable(ServerLog& log, ServerStatus& status) : log_(log), status_(status) {}

    // Takes an accepted connection in under the next number (see above). False when no
    // number is free; the refused socket is closed.
    bool registerConnection(TcpSocket socket, std::optional<Ipv4Address> address = std::nullopt);
    // Whether registerConnection would find a number now.
    bool hasFreeNumber() const;
    // Index of the first entry with this number (low 8 bits compared), or -1.
    int findPlayer(unsigned number) const;
    // Stores the details of a Join payload (a short payload reads as zero-filled) and logs
    // the join line. False, with nothing stored or logged, when the number is unknown.
    bool recordJoin(std::uint8_t number, std::span<const std::uint8_t> payload);
    // Logs the leave line, sends what is still queued for the player (best effort), shuts
    // the connection down and erases the entry; the ones behind move up. The socket itself
    // waits for takeRemovedSockets. Its number becomes free at the end of the next flushAll,
    // when its Leave has gone out. False, doing nothing, when the number is unknown.
    bool removePlayer(std::uint8_t number);
    // Moves the sockets of the players removed so far into `into`. The network loop takes
    // them and closes them when its wait is over, so that no descriptor it waits on is
    // closed or reused by another thread in the meantime; a table no loop reads closes them
    // when it goes.
    void takeRemovedSockets(std::vector<TcpSocket>& into);
    // Writes the number of players (and the Player list) to the console's display.
    void showPlayerCount();

    // The highest number handed out so far; 0 before the first connection.
    std::uint8_t lastPlayerNumber() const { return lastPlayerNumber_; }
    // Players whose Join has been processed.
    std::size_t joinedCount() const;
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    PlayerEntry& operator[](std::size_t index) { return entries_[index]; }
    const PlayerEntry& operator[](std::size_t index) const { return entries_[index]; }
    std::vector<PlayerEntry>::iterator begin() { return entries_.begin(); }
    std::vector<PlayerEntry>::iterator end() { return entries_.end(); }
    std::vector<PlayerEntry>::const_iterator begin() const { return entries_.begin(); }
    std::vector<PlayerEntry>::const_iterator end() const { return entries_.end(); }

    // The log lines about a player's bad or excess packets, paced (see LogPace): an invalid
    // packet from `number`, and a packet of the player at `index` dropped for `reason`
    // (the line written when it opens a run of drops).
    void logInvalidPacket(std::uint8_t number, double now);
    void logDroppedPacket(std::size_t index, double now, const std::string& reason);
    // The summary lines whose second is over. Call about every tick.
    void logPacedSummaries(double now);
    // "Player N [ name ]" for log lines about the player at `index`.
    std::string describePlayer(std::size_t index) const;

    // Sending. Packets are queued and go out with flushAll, so that a busy server sends
    // several packets to a player in one call; the bytes and their order on each connection
    // are the same as if each packet were sent alone. What goes to every player is kept once,
    // in a batch shared by all of them (each player's part starts where it stood when the
    // player was registered); what goes to one player only is queued in its own backlog,
    // behind its part of the batch so far.

    // Queues a relayed packet for the player at `index` alone.
    void queueRelay(std::size_t index, std::span<const std::uint8_t> bytes);
    // Queues the header-only packet (0xAA, sender, type, 0) for the player at `index` alone.
    void queueHeader(std::size_t index, std::uint8_t sender, MsgType type);
    // Queues bytes for every player, in one copy.
    void queueForAll(std::span<const std::uint8_t> bytes);
    // Queues the header-only packet for every player, in table order, and records it.
    void broadcastHeader(std::uint8_t sender, MsgType type);
    // Queues the Tick for every player, and records it. Each player's Tick goes out with a
    // flush once its previous Tick is more than tickInterval old (what is queued before it
    // need not wait); until then it, and what is queued behind it, waits.
    void broadcastTick();
    // The match recording (--record) that every packet sent to all players goes into as well,
    // once; null: none. The writer belongs to the program and outlives the table's use.
    void setRecording(RecordingWriter* recording) { recording_ = recording; }
    // Adds a packet that went to every player to the recording, if there is one.
    void recordBroadcast(const PacketRecord& record);
    // Sends each player as much of its backlog and its part of the batch as its socket takes,
    // without waiting, and no further than a Tick that must still wait; the rest waits, in
    // its own backlog and in order, for the next flush, and the batch is empty again. A player whose connection is broken, or whose
    // backlog has grown beyond backlogBound, is gone: a Leave for it is queued for everyone,
    // it is removed, and the flush carries on until nothing more can go out. Then the numbers
    // of the players removed so far become free.
    void flushAll();
    // Flushes only the players whose Tick waited for its time and whose time is over (see
    // nextHoldEnd), so that it goes out at once and not behind everyone else's sends; the
    // rest of the batch waits for flushAll. A player found broken or too slow here makes it
    // a flushAll.
    void flushWaitingTicks();
    // The clock that times each player's Ticks (the worker's).
    void setClock(GameClock clock) { clock_ = std::move(clock); }
    // When the earliest Tick that the last flushes left waiting for its time may go (server
    // clock, seconds); +inf when none waits for that (a Tick waiting for room in a full
    // socket goes with the flush the network loop makes when the socket drains). The one
    // member any thread may read without the players lock: the worker sleeps until it.
    double nextHoldEnd() const { return nextHoldEnd_.load(std::memory_order_relaxed); }
    // Bytes a player's backlog may hold after a flush before the player is removed.
    std::size_t backlogBound() const { return backlogBound_; }
    void setBacklogBound(std::size_t bytes) { backlogBound_ = bytes; }
    // Players removed so far because their backlog grew beyond the bound.
    std::uint64_t slowReadersRemoved() const { return slowReadersRemoved_; }
    // The Leave for `number` to everyone, then removePlayer: how a player that vanished is
    // announced. Sent with the next flushAll.
    void dropPlayer(std::uint8_t number);
    // One non-blocking send straight to the player at `index` (the Welcome, which is the
    // first thing on a new connection and so has nothing queued before it).
    SendResult sendTo(std::size_t index, std::span<const std::uint8_t> bytes);

private:
    // Flushes one player (see flushAll), its part of the batch included; updates its Tick
    // schedule.
    SendBacklog::FlushResult flushPlayer(PlayerEntry& entry);
    // Moves the player's part of the batch into its own backlog, so that bytes for it alone
    // can follow.
    void takeOwnCopy(PlayerEntry& entry);
    std::span<const std::uint8_t> batchPart(const PlayerEntry& entry) const;
    // Flushes the players whose Tick's wait is over (flushWaitingTicks); false when one of
    // them was found broken or too slow, which only a flushAll removes.
    bool sendEndedWaits();
    void updateNextHoldEnd();
    // flushAll looks for Ticks whose wait is over before every this many players.
    static constexpr std::size_t kWaitCheckEvery = 8;

    RecordingWriter* recording_ = nullptr;
    std::vector<std::uint8_t> batch_;  // bytes queued for every player since the last flushAll
    void showPlayerList();
    // The summary lines of the player at `index`: invalid packets and dropped ones (0: none).
    void logSummaries(std::size_t index, std::uint64_t invalid, std::uint64_t dropped);

    ServerLog& log_;
    ServerStatus& status_;
    std::vector<PlayerEntry> entries_;
    std::uint8_t lastPlayerNumber_ = 0;
    std::vector<std::uint8_t> leaving_;     // removed; free once their Leave is out
    std::vector<TcpSocket> removedSockets_;  // shut down; closed by takeRemovedSockets' caller
    std::deque<std::uint8_t> freeNumbers_;  // free, the longest free first
    std::size_t backlogBound_ = kDefaultBacklogBound;
    std::uint64_t slowReadersRemoved_ = 0;
    GameClock clock_ = secondsSinceStart;
    std::atomic<double> nextHoldEnd_{std::numeric_limits<double>::infinity()};
};

}  // namespace kestrane
