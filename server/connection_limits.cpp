// connection_limits.cpp -- admission against the operator's limits, and the refusal log's pace.
#include "server/connection_limits.h"

#include <algorithm>

namespace kestrane {

namespace {

std::uint32_t key(std::optional<Ipv4Address> address) {
    if (!address) {
        return 0;
    }
    const auto& b = address->bytes;
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

}  // namespace

Refusal admissionRefusal(const PlayerTable& players, const ConnectionLimits& limits,
                         std::optional<Ipv4Address> address) {
    if (static_cast<int>(players.size()) >= limits.maxPlayers || !players.hasFreeNumber()) {
        return Refusal::ServerFull;
    }
    if (limits.maxPerAddress > 0) {
        const auto held = std::count_if(players.begin(), players.end(),
                                        [&](const PlayerEntry& entry) { return entry.address == address; });
        if (held >= limits.maxPerAddress) {
            return Refusal::AddressFull;
        }
    }
    return Refusal::None;
}

bool RefusalLog::shouldLog(std::optional<Ipv4Address> address, double now) {
    const std::uint32_t at = key(address);
    const auto found = lastLogged_.find(at);
    if (found != lastLogged_.end() && now - found->second < kQuietSeconds) {
        return false;
    }
    if (found == lastLogged_.end() && lastLogged_.size() >= kMaxAddresses) {
        std::erase_if(lastLogged_, [now](const auto& entry) { return now - entry.second >= kQuietSeconds; });
        if (lastLogged_.size() >= kMaxAddresses) {
            return false;  // thousands of addresses knocking within a minute: they have been heard
        }
    }
    lastLogged_[at] = now;
    return true;
}

}  // namespace kestrane
