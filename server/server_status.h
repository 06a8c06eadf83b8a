// server_status.h -- what the console shows beside the log: player count, player list, address, name.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace kestrane {

// One row of the console's Player list.
struct PlayerListRow {
    std::uint8_t number = 0;
    std::string name;  // UTF-8, empty until the player's Join has been processed

    friend bool operator==(const PlayerListRow&, const PlayerListRow&) = default;
};

// The console's display fields, written by the registry and the start-up, read by the console.
// Thread-safety: every member may be called from any thread.
class ServerStatus {
public:
    struct Snapshot {
        std::string playerCount;  // "%d" of the number of players; empty before the first showPlayerCount
        std::vector<PlayerListRow> players;  // in join order
        std::string address;                 // "IP : a.b.c.d", empty when unknown
        std::string serverName;              // UTF-8, as LAN players see it
        std::uint64_t revision = 0;
    };

    void setPlayerCount(int count);
    void setPlayers(std::vector<PlayerListRow> players);
    void setAddress(std::string address);
    void setServerName(std::string name);

    Snapshot snapshot() const;
    // Grows with every change; the console redraws when it moves.
    std::uint64_t revision() const;

private:
    mutable std::mutex mutex_;
    Snapshot shown_;
};

}  // namespace kestrane
