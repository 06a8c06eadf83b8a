// player_table.cpp -- numbering, join records, removal and sends over the player table.
#include "server/player_table.h"

#include <cerrno>
#include <string>

#include "server/server_texts.h"

namespace kestrane {

bool PlayerTable::registerConnection(TcpSocket socket) {
    if (lastPlayerNumber_ == kLastNumber) {
        return false;
    }
    ++lastPlayerNumber_;
    PlayerEntry entry;
    entry.number = lastPlayerNumber_;
    entry.socket = std::move(socket);
    entries_.push_back(std::move(entry));
    return true;
}

int PlayerTable::findPlayer(unsigned number) const {
    const auto wanted = static_cast<std::uint8_t>(number & 0xFF);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].number == wanted) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool PlayerTable::recordJoin(std::uint8_t number, std::span<const std::uint8_t> payload) {
    const int index = findPlayer(number);
    if (index < 0) {
        return false;
    }
    const PlayerInfo info = PlayerInfo::decode(payload);
    PlayerEntry& entry = entries_[static_cast<std::size_t>(index)];
    entry.name = info.name;
    entry.energy = info.energy;
    entry.spare = info.spare;
    entry.direction = info.direction;
    entry.motion = info.motion;
    entry.frame = info.frame;
    entry.x = info.x;
    entry.y = info.y;
    log_.logLine("[ " + logName(nameText(entry.name)) + std::string(server_text::kJoinSuffix));
    showPlayerList();
    return true;
}

bool PlayerTable::removePlayer(std::uint8_t number) {
    const int index = findPlayer(number);
    if (index < 0) {
        return false;
    }
    const auto at = entries_.begin() + index;
    log_.logLine("[ " + logName(nameText(at->name)) + std::string(server_text::kLeaveSuffix));
    if (!at->pending.empty()) {
        sendTo(static_cast<std::size_t>(index), at->pending);  // what was due to it before it left
    }
    // Shut down first: the network loop may be polling this descriptor right now, and a
    // close alone would leave the connection open until that poll returns.
    at->socket.shutdown();
    at->socket.close();
    entries_.erase(at);
    showPlayerCount();
    return true;
}

void PlayerTable::showPlayerCount() {
    status_.setPlayerCount(static_cast<int>(entries_.size()));
    showPlayerList();
}

void PlayerTable::showPlayerList() {
    std::vector<PlayerListRow> rows;
    rows.reserve(entries_.size());
    for (const PlayerEntry& entry : entries_) {
        rows.push_back({entry.number, logName(nameText(entry.name))});
    }
    status_.setPlayers(std::move(rows));
}

SendResult PlayerTable::sendTo(std::size_t index, std::span<const std::uint8_t> bytes) {
    PlayerEntry& entry = entries_[index];
    long sent = 0;
    do {
        sent = entry.socket.send(bytes, /*dontWait=*/true);
    } while (sent < 0 && errno == EINTR);
    if (sent == static_cast<long>(bytes.size())) {
        return SendResult::Sent;
    }
    return sent <= 0 ? SendResult::Failed : SendResult::Partial;
}

void PlayerTable::queueRelay(std::size_t index, std::span<const std::uint8_t> bytes) {
    PlayerEntry& entry = entries_[index];
    entry.pending.insert(entry.pending.end(), bytes.begin(), bytes.end());
    entry.pendingHasRelay = true;
}

void PlayerTable::queueHeader(std::size_t index, std::uint8_t sender, MsgType type) {
    const PacketHeader header{kPacketMarker, sender, static_cast<std::uint8_t>(type), 0};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&header);
    entries_[index].pending.insert(entries_[index].pending.end(), bytes, bytes + kHeaderSize);
}

void PlayerTable::broadcastHeader(std::uint8_t sender, MsgType type) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        queueHeader(i, sender, type);
    }
}

void PlayerTable::flushAll() {
    bool again = true;
    while (again) {
        again = false;
        std::size_t index = 0;
        while (index < entries_.size()) {
            PlayerEntry& entry = entries_[index];
            if (entry.pending.empty()) {
                ++index;
                continue;
            }
            const SendResult result = sendTo(index, entry.pending);
            const bool lostRelay = entry.pendingHasRelay;
            entry.pending.clear();
            entry.pendingHasRelay = false;
            if (result == SendResult::Sent || (result == SendResult::Failed && !lostRelay)) {
                ++index;
                continue;
            }
            // Gone. The players behind move up into `index`; the ones before it get the
            // Leave on the next round.
            dropPlayer(entry.number);
            again = true;
        }
    }
}

void PlayerTable::dropPlayer(std::uint8_t number) {
    broadcastHeader(number, MsgType::Leave);
    removePlayer(number);
}

}  // namespace kestrane
