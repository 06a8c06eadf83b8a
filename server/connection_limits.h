// connection_limits.h -- who may connect: the operator's caps on players and on connections per address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "platform/tcp_socket.h"
#include "server/player_table.h"

namespace kestrane {

// The operator's limits (--max-players, --max-per-address).
struct ConnectionLimits {
    static constexpr int kDefaultMaxPerAddress = 16;
    int maxPlayers = PlayerTable::kLastNumber;  // players held at once, 1..255
    int maxPerAddress = kDefaultMaxPerAddress;  // connections held at once from one IPv4 address; 0: no limit
};

enum class Refusal {
    None,         // may come in
    ServerFull,   // maxPlayers held, or every number still held or not yet free
    AddressFull,  // maxPerAddress connections from this address held
};

// Whether a connection from `address` may join the players now. An address the system cannot
// tell counts as one address of its own. Call holding the players lock.
Refusal admissionRefusal(const PlayerTable& players, const ConnectionLimits& limits,
                         std::optional<Ipv4Address> address);

// Keeps refusals from filling the log: at most one line per address per minute, however fast
// one address knocks. Main thread only.
class RefusalLog {
public:
    static constexpr double kQuietSeconds = 60.0;
    // Addresses remembered at most; older ones are forgotten first when more arrive.
    static constexpr std::size_t kMaxAddresses = 4096;

    // True when a refusal of `address` at `now` (seconds) is to be logged.
    bool shouldLog(std::optional<Ipv4Address> address, double now);

private:
    std::unordered_map<std::uint32_t, double> lastLogged_;  // address -> when its line was written
};

}  // namespace kestrane
