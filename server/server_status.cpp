// server_status.cpp -- the console's display fields behind a lock.
#include "server/server_status.h"

namespace kestrane {

void ServerStatus::setPlayerCount(int count) {
    std::lock_guard lock(mutex_);
    shown_.playerCount = std::to_string(count);
    ++shown_.revision;
}

void ServerStatus::setPlayers(std::vector<PlayerListRow> players) {
    std::lock_guard lock(mutex_);
    shown_.players = std::move(players);
    ++shown_.revision;
}

void ServerStatus::setAddress(std::string address) {
    std::lock_guard lock(mutex_);
    shown_.address = std::move(address);
    ++shown_.revision;
}

void ServerStatus::setServerName(std::string name) {
    std::lock_guard lock(mutex_);
    shown_.serverName = std::move(name);
    ++shown_.revision;
}

ServerStatus::Snapshot ServerStatus::snapshot() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

std::uint64_t ServerStatus::revision() const {
    std::lock_guard lock(mutex_);
    return shown_.revision;
}

}  // namespace kestrane
