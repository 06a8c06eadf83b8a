// player_table.cpp -- numbering, join records, removal and sends over the player table.
#include "server/player_table.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

#include "common/frame_timer.h"
#include "recording/recording_file.h"
#include "server/server_texts.h"

namespace kestrane {

bool PlayerTable::registerConnection(TcpSocket socket, std::optional<Ipv4Address> address) {
    PlayerEntry entry;
    if (lastPlayerNumber_ < kLastNumber) {
        entry.number = ++lastPlayerNumber_;
    } else if (!freeNumbers_.empty()) {
        entry.number = freeNumbers_.front();
        freeNumbers_.pop_front();
    } else {
        return false;
    }
    entry.socket = std::move(socket);
    entry.address = address;
    entry.batchFrom = batch_.size();  // what is already queued for everyone is not for it
    entries_.push_back(std::move(entry));
    return true;
}

bool PlayerTable::hasFreeNumber() const { return lastPlayerNumber_ < kLastNumber || !freeNumbers_.empty(); }

std::size_t PlayerTable::joinedCount() const {
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(), [](const PlayerEntry& entry) { return entry.joined; }));
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
    entry.joined = true;
    showPlayerList();  // whoever reads the join line finds the name in the list already
    log_.logLine("[ " + logName(nameText(entry.name)) + std::string(server_text::kJoinSuffix));
    return true;
}

bool PlayerTable::removePlayer(std::uint8_t number) {
    const int index = findPlayer(number);
    if (index < 0) {
        return false;
    }
    const auto at = entries_.begin() + index;
    logSummaries(static_cast<std::size_t>(index), at->invalidPackets.takeRest(), at->droppedPackets.takeRest());
    log_.logLine("[ " + logName(nameText(at->name)) + std::string(server_text::kLeaveSuffix));
    flushPlayer(*at);  // what was due to it before it left, as far as it goes
    // The peer sees the end now, but the descriptor stays open until the network loop takes
    // it (takeRemovedSockets): that loop may be waiting on it right now, and a number closed
    // under its wait could come back as another connection's before the wait is over.
    at->socket.shutdown();
    removedSockets_.push_back(std::move(at->socket));
    entries_.erase(at);
    leaving_.push_back(number);
    showPlayerCount();
    return true;
}

void PlayerTable::takeRemovedSockets(std::vector<TcpSocket>& into) {
    into.insert(into.end(), std::make_move_iterator(removedSockets_.begin()),
                std::make_move_iterator(removedSockets_.end()));
    removedSockets_.clear();
}

void PlayerTable::logInvalidPacket(std::uint8_t number, double now) {
    const int index = findPlayer(number);
    if (index < 0) {
        log_.logLine(server_text::kInvalidPacketLine);
        return;
    }
    const LogPace::Step step = entries_[static_cast<std::size_t>(index)].invalidPackets.note(now);
    logSummaries(static_cast<std::size_t>(index), step.summary, 0);
    if (step.ownLine) {
        log_.logLine(server_text::kInvalidPacketLine);
    }
}

void PlayerTable::logDroppedPacket(std::size_t index, double now, const std::string& reason) {
    const LogPace::Step step = entries_[index].droppedPackets.note(now);
    logSummaries(index, 0, step.summary);
    if (step.ownLine) {
        log_.logLine(describePlayer(index) + ": " + reason);
    }
}

void PlayerTable::logPacedSummaries(double now) {
    for (std::size_t index = 0; index < entries_.size(); ++index) {
        logSummaries(index, entries_[index].invalidPackets.due(now), entries_[index].droppedPackets.due(now));
    }
}

void PlayerTable::logSummaries(std::size_t index, std::uint64_t invalid, std::uint64_t dropped) {
    if (invalid > 0) {
        log_.logLine(describePlayer(index) + ": " + std::to_string(invalid) + " more invalid packets in the last second");
    }
    if (dropped > 0) {
        log_.logLine(describePlayer(index) + ": " + std::to_string(dropped) + " more packets " +
                     std::string(server_text::kDroppedWord) + " in the last second");
    }
}

std::string PlayerTable::describePlayer(std::size_t index) const {
    const PlayerEntry& entry = entries_[index];
    return "Player " + std::to_string(entry.number) + " [ " + logName(nameText(entry.name)) + " ]";
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
    const long sent = entry.socket.send(bytes, /*dontWait=*/true);
    if (sent == static_cast<long>(bytes.size())) {
        return SendResult::Sent;
    }
    return sent <= 0 ? SendResult::Failed : SendResult::Partial;
}

void PlayerTable::queueRelay(std::size_t index, std::span<const std::uint8_t> bytes) {
    PlayerEntry& entry = entries_[index];
    takeOwnCopy(entry);
    entry.backlog.append(bytes);
}

void PlayerTable::queueHeader(std::size_t index, std::uint8_t sender, MsgType type) {
    const PacketHeader header{kPacketMarker, sender, static_cast<std::uint8_t>(type), 0};
    queueRelay(index, std::span(reinterpret_cast<const std::uint8_t*>(&header), kHeaderSize));
}

void PlayerTable::queueForAll(std::span<const std::uint8_t> bytes) { batch_.insert(batch_.end(), bytes.begin(), bytes.end()); }

void PlayerTable::broadcastHeader(std::uint8_t sender, MsgType type) {
    const PacketHeader header{kPacketMarker, sender, static_cast<std::uint8_t>(type), 0};
    queueForAll(std::span(reinterpret_cast<const std::uint8_t*>(&header), kHeaderSize));
    recordBroadcast(makePacket(sender, type));
}

void PlayerTable::broadcastTick() {
    for (PlayerEntry& entry : entries_) {
        entry.tickMarks.push_back(entry.backlog.bytesAppended() + (batch_.size() - entry.batchFrom));
    }
    broadcastHeader(0, MsgType::Tick);
}

void PlayerTable::recordBroadcast(const PacketRecord& record) {
    if (recording_ != nullptr) {
        recording_->writePacket(record);
    }
}

std::span<const std::uint8_t> PlayerTable::batchPart(const PlayerEntry& entry) const {
    return std::span(batch_).subspan(entry.batchFrom);
}

void PlayerTable::takeOwnCopy(PlayerEntry& entry) {
    entry.backlog.append(batchPart(entry));
    entry.batchFrom = batch_.size();
}

SendBacklog::FlushResult PlayerTable::flushPlayer(PlayerEntry& entry) {
    const double interval = static_cast<double>(tickInterval);
    // The oldest Tick not yet out may go once the one before it is more than an interval
    // old, read just before the send (or once part of it has gone); the next one never goes
    // in the same send.
    std::uint64_t holdAt = SendBacklog::kNoHold;
    if (!entry.tickMarks.empty()) {
        const bool begun = entry.backlog.bytesSent() > entry.tickMarks.front();
        const bool due = begun || clock_() - entry.lastTickAt > interval;
        holdAt = !due ? entry.tickMarks.front() : entry.tickMarks.size() > 1 ? entry.tickMarks[1] : SendBacklog::kNoHold;
    }
    const SendBacklog::FlushResult result = entry.backlog.flush(entry.socket, batchPart(entry), holdAt);
    entry.batchFrom = batch_.size();
    if (!entry.tickMarks.empty() && entry.backlog.bytesSent() >= entry.tickMarks.front() + kHeaderSize) {
        entry.lastTickAt = clock_();  // that Tick has been handed over whole just now
        entry.tickMarks.erase(entry.tickMarks.begin());
    }
    entry.holdEnd = result == SendBacklog::FlushResult::Held ? entry.lastTickAt + interval
                                                             : std::numeric_limits<double>::infinity();
    return result;
}

void PlayerTable::flushAll() {
    bool again = true;
    while (again) {
        again = false;
        std::size_t index = 0;
        while (index < entries_.size()) {
            // A Tick whose wait ends during a long flush goes then, not after everyone behind
            // it: otherwise a connection that fell behind the rounds would lose up to a
            // flush's length each time and never catch up. A connection found broken or too
            // slow there is removed when this loop, or the next flush, comes to it.
            if (index % kWaitCheckEvery == 0) {
                const double waitEnds = nextHoldEnd_.load(std::memory_order_relaxed);
                if (!std::isinf(waitEnds) && waitEnds < clock_()) {
                    sendEndedWaits();
                }
            }
            PlayerEntry& entry = entries_[index];
            if (entry.backlog.empty() && entry.batchFrom == batch_.size()) {
                ++index;
                continue;
            }
            const SendBacklog::FlushResult result = flushPlayer(entry);
            if (result != SendBacklog::FlushResult::Failed && entry.backlog.size() <= backlogBound_) {
                ++index;
                continue;
            }
            if (result != SendBacklog::FlushResult::Failed) {
                ++slowReadersRemoved_;
                log_.logLine(describePlayer(index) + ": " + std::string(server_text::kRemovedSlowReader));
            }
            // Gone. The players behind move up into `index`; the ones before it get the
            // Leave on the next round.
            dropPlayer(entry.number);
            again = true;
        }
    }
    // Every player's part of the batch has gone out or into its own backlog.
    batch_.clear();
    for (PlayerEntry& entry : entries_) {
        entry.batchFrom = 0;
    }
    updateNextHoldEnd();
    // Every Leave queued so far is out, or waits in order in a backlog ahead of anything
    // about a newcomer: the numbers of the removed players may be handed out again.
    freeNumbers_.insert(freeNumbers_.end(), leaving_.begin(), leaving_.end());
    leaving_.clear();
}

void PlayerTable::flushWaitingTicks() {
    if (!sendEndedWaits()) {
        flushAll();  // removes the broken or slow one, as any flush would
    }
}

bool PlayerTable::sendEndedWaits() {
    bool healthy = true;
    double now = clock_();
    for (PlayerEntry& entry : entries_) {
        if (entry.holdEnd < now) {
            const SendBacklog::FlushResult result = flushPlayer(entry);
            healthy = healthy && result != SendBacklog::FlushResult::Failed && entry.backlog.size() <= backlogBound_;
            // Read again after each send: the waits of connections held since the same
            // round end as far apart as their sends were then, so the next one's is about over.
            now = clock_();
        }
    }
    updateNextHoldEnd();
    return healthy;
}

void PlayerTable::updateNextHoldEnd() {
    double nextHoldEnd = std::numeric_limits<double>::infinity();
    for (const PlayerEntry& entry : entries_) {
        nextHoldEnd = std::min(nextHoldEnd, entry.holdEnd);
    }
    nextHoldEnd_.store(nextHoldEnd, std::memory_order_relaxed);
}

void PlayerTable::dropPlayer(std::uint8_t number) {
    broadcastHeader(number, MsgType::Leave);
    removePlayer(number);
}

}  // namespace kestrane
