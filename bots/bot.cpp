// bot.cpp -- connecting, the main-loop pass, and what a bot notes about the packets it applies.
#include "bots/bot.h"

#include <limits>

#include "client/world/dispatcher.h"
#include "client/world/frame_tick.h"
#include "platform/text_encoding.h"

namespace kestrane {

namespace {

constexpr double kNever = std::numeric_limits<double>::infinity();
// Woken this much after the frame period, the frame timer finds the period strictly passed.
constexpr double kFrameWakeSlack = 0.0002;
// Picks start positions; mixed into the seed so they do not follow the brain's numbers.
constexpr std::uint64_t kPlacementStream = 0x5eed5eed5eed5eedull;

// The server relays these back to their sender; Leave is the one client message it does not.
bool echoedToSender(MsgType type) {
    return relayedByServer(static_cast<std::uint8_t>(type)) && type != MsgType::Leave;
}

}  // namespace

void ArrivalClock::notePush(double now) {
    std::lock_guard lock(mutex_);
    const std::uint64_t index = pushed_++;
    if (index >= taken_) {
        times_.push_back(now);
    }
}

double ArrivalClock::takeFor(double now) {
    std::lock_guard lock(mutex_);
    ++taken_;
    if (times_.empty()) {
        return now;
    }
    const double arrived = times_.front();
    times_.pop_front();
    return arrived;
}

Bot::Bot(int index, std::string_view cp949Name, std::uint64_t seed, BotLog& log, FrameTimer::Clock clock)
    : index_(index),
      log_(log),
      clock_(std::move(clock)),
      world_(),
      brain_(seed),
      placement_(seed ^ kPlacementStream),
      frameTimer_(clock_) {
    session_.setPlayerName(cp949Name);
    session_.queue().setPushListener([this] {
        if (readsOwnSocket_) {
            // One read's packets all arrived at the moment of the read: one clock reading each.
            if (!readTimed_) {
                readAt_ = clock_();
                readTimed_ = true;
            }
            return;
        }
        arrivals_.notePush(clock_());
        if (wake_) {
            wake_();
        }
    });
    session_.setSendListener([this](const PacketRecord& record) {
        if (echoedToSender(record.msgType())) {
            sentAt_.push_back(clock_());
        }
    });
}

Bot::~Bot() { shutdown(); }

bool Bot::loadArtwork(const std::filesystem::path& directory) {
    const bool players = loadSpriteSet((directory / kPlayerSpriteFile).string(), media_.playerSprites);
    const bool bullets = loadSpriteSet((directory / kBulletSpriteFile).string(), media_.bulletSprites);
    world_.sprites = media_.spriteSizes();
    return players && bullets;
}

std::string Bot::label() const {
    std::string text = cp949ToUtf8(nameText(session_.playerName()));
    if (playerNumber() != 0) {
        text += " (player " + std::to_string(playerNumber()) + ")";
    }
    return text;
}

bool Bot::connectAndJoin(std::string_view address, int timeoutMs, bool receiveThread) {
    const std::string name = label();
    if (!session_.startNetwork() || !session_.connectToServer(address)) {
        log_.line(name + ": cannot connect to " + std::string(address));
        return false;
    }
    const ConnectStatus status = session_.pollConnection(timeoutMs);
    if (status != ConnectStatus::Connected) {
        log_.line(name + ": cannot connect to " + std::string(address) +
                  (status == ConnectStatus::InProgress ? " (no answer)" : " (refused)"));
        session_.stopNetwork();
        return false;
    }
    const StartPositionSource startPosition = [this] {
        StartPosition position;
        position.x = static_cast<std::int16_t>(placement_.next() % 400 + 100);
        position.y = static_cast<std::int16_t>(placement_.next() % 300 + 100);
        return position;
    };
    if (!session_.joinGame(startPosition, timeoutMs)) {
        log_.line(name + ": no welcome from " + std::string(address) + " (not a game server, or it is full or limits connections per address: see its --max-per-address)");
        session_.stopNetwork();
        return false;
    }
    world_.setLocalPlayer(session_.localPlayerNumber(), session_.playerName());
    recording_.writeLocalPlayer(session_.localPlayerNumber(), session_.playerName());
    setPhase(BotPhase::Joining);
    readsOwnSocket_ = !receiveThread;
    if (!receiveThread) {
        watched_ = true;
        return true;
    }
    // Packets wake the receive thread at once; the periodic look is only a fallback.
    session_.setReceivePollInterval(1000);
    session_.startReceiveThread();
    return true;
}

void Bot::serviceSocket(const Readiness& ready) {
    if (!watched_) {
        return;
    }
    applyRead();  // what an earlier read brought goes first, timed as it was
    readTimed_ = false;
    if (!session_.serviceSocket(ready)) {
        watched_ = false;  // ended: its ServerClosing is queued
    }
    readPending_ = readTimed_;
}

bool Bot::applyRead() {
    if (!readPending_) {
        return false;
    }
    readPending_ = false;
    PacketQueue& queue = session_.queue();
    while (phase_.load() != BotPhase::Gone) {
        const std::optional<PacketRecord> record = queue.takeFront();
        if (!record) {
            break;
        }
        apply(*record, readAt_);
    }
    return true;
}

void Bot::stopFramesOnceLeaving() {
    const BotPhase phase = phase_.load();
    if (phase == BotPhase::Leaving || phase == BotPhase::Gone) {
        nextFrameAt_ = kNever;
    }
}

bool Bot::runPass(double now) {
    const BotPhase phase = phase_.load();
    if (phase == BotPhase::Idle || phase == BotPhase::Gone) {
        return false;
    }
    bool busy = readsOwnSocket_ ? applyRead() : dispatchOne();
    stopFramesOnceLeaving();
    if (nextFrameAt_ == kNever) {
        return busy;
    }
    if (now >= nextFrameAt_ && frameTimer_.due(kFrameSlot, framePeriod)) {
        nextFrameAt_ = clock_() + framePeriod + kFrameWakeSlack;
        runFrame();
        busy = true;
    }
    return busy;
}

// What the client's dispatchNextPacket does, noting each record on the way.
bool Bot::dispatchOne() {
    PacketQueue& queue = session_.queue();
    const std::optional<PacketRecord> record = queue.front();
    if (!record) {
        return false;
    }
    const double arrivedAt = arrivals_.takeFor(clock_());
    apply(*record, arrivedAt);
    queue.popFront();
    return true;
}

void Bot::apply(const PacketRecord& record, double arrivedAt) {
    if (recording_.isOpen()) {
        recording_.writePacket(record);
    }
    applyPacket(world_, record);
    sendOutbox();
    observe(record, arrivedAt);
}

void Bot::observe(const PacketRecord& record, double arrivedAt) {
    ++counters_.packetsApplied;
    const std::uint8_t sender = record.header.sender;
    const bool own = sender == playerNumber() && sender != 0;
    if (own && echoedToSender(record.msgType()) && !sentAt_.empty()) {
        ++counters_.ownEchoes;
        if (measuring_) {
            echoLatenciesMs_.push_back(static_cast<float>((arrivedAt - sentAt_.front()) * 1000.0));
        }
        sentAt_.pop_front();
    }
    switch (record.msgType()) {
        case MsgType::Tick:
            ++counters_.ticks;
            break;
        case MsgType::Join:
            ++counters_.joinsSeen;
            break;
        case MsgType::Resume:
            ++counters_.resumes;
            break;
        case MsgType::Hit:
            ++counters_.hitsSeen;
            break;
        case MsgType::Leave:
            if (own) {
                counters_.droppedByServer = true;
                log_.line(label() + ": dropped by the server");
            }
            break;
        case MsgType::ServerClosing:
            ++counters_.serverClosings;
            if (phase_.load() != BotPhase::Leaving) {
                log_.line(label() + ": the server closed the game (or the connection was lost)");
            }
            publishStatus(true);
            setPhase(BotPhase::Gone);
            return;
        default:
            break;
    }
    publishStatus(!world_.worldRunning);
    if (phase_.load() == BotPhase::Joining && world_.worldRunning && findPlayerRecord(world_, playerNumber()) >= 0) {
        setPhase(BotPhase::Playing);
    }
}

void Bot::runFrame() {
    ++counters_.frames;
    const KeyState keys = brain_.think(world_);
    recording_.writeFrame(keys);
    const bool wasDown = world_.localDead;
    frameTick(world_, keys);
    sendOutbox();
    if (wasDown && !world_.localDead) {
        ++counters_.respawns;
        log_.line(label() + ": respawned");
    }
}

void Bot::sendOutbox() {
    for (const PacketRecord& packet : world_.outbox.packets) {
        session_.sendPacket(packet);
    }
    world_.outbox.clear();  // nothing to hear or see
}

void Bot::leave() {
    const BotPhase phase = phase_.load();
    if (phase == BotPhase::Idle || phase == BotPhase::Gone) {
        setPhase(BotPhase::Gone);
        return;
    }
    brain_.setPaused(true);
    session_.sendHeaderOnly(MsgType::Leave);
    setPhase(BotPhase::Leaving);
}

void Bot::shutdown() {
    watched_ = false;
    session_.stopNetwork();
    recording_.close();
    if (phase_.load() != BotPhase::Idle) {
        setPhase(BotPhase::Gone);
    }
}

void Bot::setPhase(BotPhase phase) {
    if (phase > phase_.load()) {
        phase_.store(phase);
        if (statusListener_) {
            statusListener_();
        }
    }
}

// Called for every packet applied: only this thread stores the status, so it compares first
// and stores (and tells the listener) only what changed.
void Bot::publishStatus(bool worldStopped) {
    bool changed = false;
    const auto update = [&changed](auto& shared, auto value) {
        if (shared.load(std::memory_order_relaxed) != value) {
            shared.store(value);
            changed = true;
        }
    };
    update(status_.worldStopped, worldStopped);
    update(status_.joins, counters_.joinsSeen);
    update(status_.resumes, counters_.resumes);
    update(status_.players, world_.playerRecords.size());
    if (changed && statusListener_) {
        statusListener_();
    }
}

}  // namespace kestrane
