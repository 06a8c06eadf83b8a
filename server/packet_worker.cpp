// packet_worker.cpp -- ticks, relays, join records, removals, the ready check and the shot serial.
#include "server/packet_worker.h"

#include <algorithm>
#include <limits>
#include <mutex>

#include "common/protocol.h"
#include "server/server_texts.h"

namespace kestrane {

namespace {

// Slack added to the wait for the next Tick, so the timer finds the interval strictly passed
// when the thread wakes.
constexpr double kTickWakeSlack = 0.0002;

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
      owedTickAt_(std::numeric_limits<double>::infinity()),
      resumeDeadline_(std::numeric_limits<double>::infinity()) {}

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
        const auto wait = std::chrono::duration<double>(secondsUntilDue() + kTickWakeSlack);
        state_.queue.waitUntilNotEmpty(std::chrono::steady_clock::now() +
                                       std::chrono::duration_cast<std::chrono::steady_clock::duration>(wait));
    }
}

bool PacketWorker::runPass() {
    // One reading decides the pass: the round's start is the moment the worker looked.
    const double start = clock_();
    const bool roundDue = start - lastRoundAt_ > static_cast<double>(tickInterval);
    const std::optional<PacketRecord> record = state_.queue.front();
    if (!record && !roundDue && start < std::min(resumeDeadline_, owedTickAt_)) {
        return false;
    }
    std::lock_guard lock(state_.playersMutex);
    if (start >= resumeDeadline_) {
        sendResume();  // somebody joined has not answered in time
        state_.players.flushAll();
    }
    // The Tick goes out at once, behind what was queued before it and ahead of the batch.
    if (roundDue) {
        lastRoundAt_ = start;
        for (PlayerEntry& entry : state_.players) {
            entry.tickOwed = true;
        }
        // The recording keeps one Tick per round, where the round began.
        state_.players.recordBroadcast(makePacket(0, MsgType::Tick));
        sendOwedTicks();
        state_.players.logPacedSummaries(start);
    } else if (start >= owedTickAt_) {
        sendOwedTicks();
    }
    if (!record) {
        return false;
    }
    processRecord(*record);
    state_.queue.popFront();
    const double now = clock_();
    if (batchPasses_++ == 0) {
        batchStart_ = now;
    }
    if (state_.queue.empty() || batchPasses_ >= kMaxBatch || now - batchStart_ >= kMaxBatchAge) {
        state_.players.flushAll();
        batchPasses_ = 0;
    }
    return true;
}

void PacketWorker::sendOwedTicks() {
    PlayerTable& players = state_.players;
    const double interval = static_cast<double>(tickInterval);
    players.flushAll();  // what was queued before the Tick goes first
    owedTickAt_ = std::numeric_limits<double>::infinity();
    for (std::size_t index = 0; index < players.size(); ++index) {
        PlayerEntry& entry = players[index];
        if (!entry.tickOwed) {
            continue;
        }
        // Each connection's interval runs from a reading taken after its last Tick was
        // handed to its socket to one taken before this one is: the time between the two
        // on the wire is longer.
        const double before = clock_();
        if (before - entry.lastTickAt <= interval) {
            owedTickAt_ = std::min(owedTickAt_, entry.lastTickAt + interval);
            continue;
        }
        entry.tickOwed = false;
        players.queueHeader(index, 0, MsgType::Tick);
        entry.backlog.flush(entry.socket);
        entry.lastTickAt = clock_();
    }
    players.flushAll();  // a broken connection or a reader too slow is dealt with here
}

bool PacketWorker::tickReady() const { return clock_() - lastRoundAt_ > static_cast<double>(tickInterval); }

double PacketWorker::secondsUntilTick() const {
    const double left = lastRoundAt_ + static_cast<double>(tickInterval) - clock_();
    return std::clamp(left, 0.0, static_cast<double>(tickInterval));
}

double PacketWorker::secondsUntilDue() const {
    const double due = std::min(resumeDeadline_, owedTickAt_);
    return std::clamp(due - clock_(), 0.0, secondsUntilTick());
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
            players.flushAll();  // everyone has the Join before the join line is written
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
    const auto bytes = record.wireBytes();
    for (std::size_t index = 0; index < players.size(); ++index) {
        players.queueRelay(index, bytes);
    }
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
