// packet_worker.cpp -- ticks, relays, join records, removals, the ready check and the shot serial.
#include "server/packet_worker.h"

#include <algorithm>
#include <limits>
#include <mutex>

#include "common/protocol.h"
#include "server/server_texts.h"

namespace kestrane {

namespace {

constexpr double kNever = std::numeric_limits<double>::infinity();

// Slack added to the wait for the next round, so the timer finds the interval strictly passed
// when the thread wakes.
constexpr double kTickWakeSlack = 0.0002;
// Slack added to the wait for a Tick that waits on its connection (and the other deadlines).
// Smaller than the round's: the Ticks of a connection that has fallen behind the rounds (its
// reader was slow, or the worker lost the processor in the middle of a round) go out a little
// sooner after their interval than the rounds start after theirs, so it catches up, by about
// the difference (0.19 ms) a round, instead of drifting further behind.
constexpr double kHoldWakeSlack = 0.00001;

}  // namespace

PacketRecord makeConnectionLostNote(std::uint8_t number) {
    PacketRecord note = makePacket(number, MsgType::Leave);
    note.header.marker = 0;
    return note;
}

bool isConnectionLostNote(const PacketRecord& record) { return record.header.marker != kPacketMarker; }

PacketWorker::PacketWorker(ServerState& state, FrameTimer::Clock clock)
    : state_(state),
      clock_(std::move(clock)),
      lastRoundAt_(-std::numeric_limits<double>::infinity()),
      resumeDeadline_(std::numeric_limits<double>::infinity()) {
    // Built before any thread shares the state: no lock yet.
    state_.players.setClock(clock_);
}

PacketWorker::~PacketWorker() { stop(); }

void PacketWorker::start() {
    if (thread_.joinable()) {
        return;
    }
    workerRunning_ = true;
    thread_ = std::thread([this] { packetWorker(); });
}

void PacketWorker::stop() {
    workerRunning_ = false;
    if (thread_.joinable()) {
        thread_.join();
    }
}

void PacketWorker::packetWorker() {
    while (workerRunning_) {
        if (runPass()) {
            continue;
        }
        const double now = clock_();
        const double untilOther = std::min({resumeDeadline_, state_.players.nextHoldEnd(), batchDueAt(now)}) - now;
        const auto wait = std::chrono::duration<double>(
            std::min(secondsUntilTick() + kTickWakeSlack, std::max(untilOther, 0.0) + kHoldWakeSlack));
        if (joinHeld_) {
            std::this_thread::sleep_for(wait);  // a record waits, but not for the queue
            continue;
        }
        state_.queue.waitUntilNotEmpty(std::chrono::steady_clock::now() +
                                       std::chrono::duration_cast<std::chrono::steady_clock::duration>(wait));
    }
}

bool PacketWorker::runPass() {
    // One reading decides the pass: the round's start is the moment the worker looked.
    const double start = clock_();
    const bool roundDue = start - lastRoundAt_ > static_cast<double>(tickInterval);
    const bool holdOver = start > state_.players.nextHoldEnd();
    const std::optional<PacketRecord> record = state_.queue.front();
    const bool batchDue = start >= (record ? batchStart_ + kMaxBatchAge : batchDueAt(start)) && !carriedByRound(start);
    if (!record && !roundDue && !holdOver && start < resumeDeadline_ && !batchDue) {
        return false;
    }
    std::lock_guard lock(state_.playersMutex);
    bool flush = false;
    if (start >= resumeDeadline_) {
        sendResume();  // somebody joined has not answered in time
        flush = true;
    }
    // The Tick goes out at once, behind what was queued before it and ahead of the next
    // record; on a connection whose previous Tick is too recent it waits, with what follows.
    if (roundDue) {
        lastRoundAt_ = start;
        state_.players.broadcastTick();
        state_.players.logPacedSummaries(start);
        flush = true;
    }
    if (flush || (batchPasses_ > 0 && batchDue)) {
        flushAll();
    } else if (holdOver) {
        state_.players.flushWaitingTicks();  // a Tick that waited for its connection's interval
    }
    if (!record) {
        return false;
    }
    // A Join waits while a Tick waits for its connection's interval: the Join would queue
    // behind that Tick, and every player must have it before the join line is written. It
    // waits one interval at most, so a connection that stays behind cannot hold it up.
    const bool tickWaiting = state_.players.nextHoldEnd() != kNever;
    if (record->msgType() != MsgType::Join || !tickWaiting) {
        joinHeldSince_ = kNever;
    } else if (joinHeldSince_ == kNever) {
        joinHeldSince_ = start;
    }
    joinHeld_ = tickWaiting && joinHeldSince_ != kNever && start - joinHeldSince_ < static_cast<double>(tickInterval);
    if (joinHeld_) {
        return false;
    }
    joinHeldSince_ = kNever;
    processRecord(*record);
    state_.queue.popFront();
    const double now = clock_();
    if (batchPasses_++ == 0) {
        batchStart_ = now;
    }
    batchGap_ = flushGap(state_.players.size());
    if ((batchPasses_ >= kMaxBatch || now - batchStart_ >= kMaxBatchAge ||
         (state_.queue.empty() && now - lastFlushAt_ >= batchGap_)) &&
        !carriedByRound(now)) {
        flushAll();
    }
    return true;
}

void PacketWorker::flushAll() {
    const double start = clock_();
    state_.players.flushAll();
    batchPasses_ = 0;
    lastFlushAt_ = clock_();
    lastFlushTook_ = lastFlushAt_ - start;
}

bool PacketWorker::carriedByRound(double at) const {
    const double roundAt = lastRoundAt_ + static_cast<double>(tickInterval);
    return at <= roundAt && roundAt - at < std::min(lastFlushTook_, kMaxBatchAge);
}

// With the queue empty: a batch waits for the gap after the last flush, or until it is too old.
double PacketWorker::batchDueAt(double now) const {
    if (batchPasses_ == 0) {
        return std::numeric_limits<double>::infinity();
    }
    const double due = std::max(now, std::min(batchStart_ + kMaxBatchAge, lastFlushAt_ + batchGap_));
    return carriedByRound(due) ? std::numeric_limits<double>::infinity() : due;
}

double PacketWorker::flushGap(std::size_t players) {
    const std::size_t beyond = players > kSpreadFromPlayers ? players - kSpreadFromPlayers : 0;
    return std::min(kMaxBatchAge, static_cast<double>(beyond) * kFlushGapPerPlayer);
}

double PacketWorker::secondsUntilTick() const {
    const double left = lastRoundAt_ + static_cast<double>(tickInterval) - clock_();
    return std::clamp(left, 0.0, static_cast<double>(tickInterval));
}

double PacketWorker::secondsUntilDue() const {
    const double now = clock_();
    const double due = std::min({resumeDeadline_, state_.players.nextHoldEnd(), batchDueAt(now)});
    return std::clamp(due - now, 0.0, secondsUntilTick());
}

void PacketWorker::processRecord(const PacketRecord& record) {
    PlayerTable& players = state_.players;
    const std::uint8_t sender = record.header.sender;
    if (isConnectionLostNote(record)) {
        // Already gone when a relay to it failed or it said Leave first.
        if (players.findPlayer(sender) >= 0) {
            players.dropPlayer(sender);
        }
        return;
    }
    if (!relayedByServer(record.header.type)) {
        players.logInvalidPacket(sender, clock_());
        return;
    }
    switch (record.msgType()) {
        case MsgType::Join:
            relayPacket(record);
            players.flushAll();  // the Join is on its way to everyone before the join line is written
            players.recordJoin(sender, record.payloadBytes());
            readyCount_ = 1;
            // A lone player has nobody to wait for, and gets no Resume for its own Join.
            resumeDeadline_ = players.joinedCount() > 1 ? clock_() + kResumeWait
                                                        : std::numeric_limits<double>::infinity();
            break;
        case MsgType::Leave:
            players.removePlayer(sender);
            relayPacket(record);
            break;
        case MsgType::PlayerState:
            relayPacket(record);
            readyCheck();
            break;
        case MsgType::Fire: {
            PacketRecord stamped = record;
            stampFireId(stamped, shotSerial_);
            relayPacket(stamped);
            shotSerial_ = shotSerial_ > 100 ? 1 : static_cast<std::uint16_t>(shotSerial_ + 1);
            break;
        }
        default:
            relayPacket(record);
            break;
    }
}

void PacketWorker::relayPacket(const PacketRecord& record) {
    PlayerTable& players = state_.players;
    players.queueForAll(record.wireBytes());
    players.recordBroadcast(record);
}

void PacketWorker::readyCheck() {
    ++readyCount_;
    // Only joined players answer: a connection between accept and Join has nothing to say.
    if (readyCount_ < static_cast<int>(state_.players.joinedCount())) {
        return;
    }
    sendResume();
}

void PacketWorker::sendResume() {
    PlayerTable& players = state_.players;
    for (std::size_t i = 0; i < players.size(); ++i) {
        players.queueHeader(i, players[i].number, MsgType::Resume);
    }
    // Each player's Resume carries its own number; the recording keeps one from the server.
    players.recordBroadcast(makePacket(0, MsgType::Resume));
    readyCount_ = 0;
    resumeDeadline_ = std::numeric_limits<double>::infinity();
}

}  // namespace kestrane
