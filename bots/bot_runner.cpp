// bot_runner.cpp -- the driving threads, joining in turn, holding the bots still, leaving.
#include "bots/bot_runner.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

#include "common/text.h"
#include "platform/poller.h"
#include "platform/wake_event.h"

namespace kestrane {

namespace {

// One thread drives every bot a server can hold: it reads each ready socket before it applies
// what came, so while a relay reaches hundreds of bots it finds many sockets ready at each
// wake-up, where several threads would each wake for a few and scan all their sockets each time.
constexpr int kBotsPerThread = 256;
// A driving thread with no frame to wait for still looks at its bots this often.
constexpr double kIdleWaitSeconds = 1.0;
// How long a pass goes on before it reads what arrived meanwhile, and how many bots it runs
// between two looks at the clock.
constexpr double kLookAgainSeconds = 0.0002;
constexpr std::size_t kBotsBetweenClockReadings = 8;
constexpr auto kWaitCheck = std::chrono::milliseconds(50);
// How long a newcomer that knows only itself waits for other players' answers to its Join.
constexpr auto kAnswerGrace = std::chrono::milliseconds(150);

std::uint64_t botSeed(std::uint64_t seed, int index) {
    return BotRandom(seed ^ (static_cast<std::uint64_t>(index) * 0x9E3779B97F4A7C15ull)).next();
}

}  // namespace

std::string botName(std::string_view prefix, int number) {
    const std::string digits = std::to_string(number);
    const std::size_t room = kMaxNameLength > digits.size() ? kMaxNameLength - digits.size() : 0;
    return std::string(cp949Prefix(prefix, room)) + digits;
}

// One driving thread: passes over its bots round-robin, applying what each bot's last read
// brought and at most one frame per bot per pass, until a whole pass finds nothing to do; then
// waits, with one poller over all its bots' sockets, until bytes arrive for one of them (or one
// can send again), the earliest frame comes due, or it is asked to add, hold or stop, and reads
// every socket found ready. No bot has a thread of its own.
class BotRunner::Driver {
public:
    explicit Driver(GameClock clock) : clock_(std::move(clock)), thread_([this] { run(); }) {}
    ~Driver() { stop(); }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    // Any thread. The bot must outlive the driver.
    void add(Bot* bot) {
        std::lock_guard lock(mutex_);
        bots_.push_back(bot);
        listChanged_ = true;
        wakeEvent_.signal();
    }
    // Returns once the thread is parked between passes; it stays parked until release().
    void hold() {
        std::unique_lock lock(mutex_);
        holdRequested_ = true;
        wakeEvent_.signal();
        parkedChanged_.wait(lock, [this] { return parked_ || finished_; });
    }
    void release() {
        std::lock_guard lock(mutex_);
        holdRequested_ = false;
        released_.notify_one();
    }
    void stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            wakeEvent_.signal();
            released_.notify_one();
        }
        if (thread_.joinable()) {
            thread_.join();
        }
    }

private:
    void run() {
        std::vector<Bot*> bots;
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            if (holdRequested_) {
                parked_ = true;
                parkedChanged_.notify_all();
                released_.wait(lock, [this] { return !holdRequested_ || stopping_; });
                parked_ = false;
                continue;
            }
            if (listChanged_) {
                bots = bots_;
                listChanged_ = false;
            }
            lock.unlock();
            const double nextFrame = playUntilIdle(bots);
            waitForSockets(bots, nextFrame);
            lock.lock();
        }
        finished_ = true;
        parkedChanged_.notify_all();
    }

    // Passes until one finds nothing to do; when the earliest frame comes due. A long pass
    // (a Tick steps every bot's world) looks at the sockets again now and then, without
    // waiting, so that what arrives meanwhile is read, and timed, when it arrives rather than
    // when the pass ends.
    double playUntilIdle(const std::vector<Bot*>& bots) {
        for (;;) {
            bool busy = false;
            double nextFrame = std::numeric_limits<double>::infinity();
            const double now = clock_();
            double lookedAt = now;
            for (std::size_t i = 0; i < bots.size(); ++i) {
                busy |= bots[i]->runPass(now);
                nextFrame = std::min(nextFrame, bots[i]->nextFrameAt());
                if (i % kBotsBetweenClockReadings == kBotsBetweenClockReadings - 1 &&
                    clock_() - lookedAt >= kLookAgainSeconds) {
                    readReadySockets(bots, 0, /*midPass=*/true);
                    lookedAt = clock_();
                }
            }
            if (!busy || wakeEvent_.signalled()) {
                return nextFrame;
            }
        }
    }

    void waitForSockets(const std::vector<Bot*>& bots, double nextFrame) {
        const double wait = std::isinf(nextFrame) ? kIdleWaitSeconds : std::max(0.0, nextFrame - clock_());
        readReadySockets(bots, static_cast<int>(std::ceil(wait * 1000)), /*midPass=*/false);
    }

    // Waits at most `timeoutMs` for a socket to be ready or the wake event, and reads every
    // socket found ready. A look in the middle of a pass leaves the event signalled, for the
    // pass to end on.
    void readReadySockets(const std::vector<Bot*>& bots, int timeoutMs, bool midPass) {
        poller_.clear();
        poller_.setWakeEvent(&wakeEvent_);
        watched_.clear();
        for (Bot* bot : bots) {
            if (bot->watchesSocket()) {
                poller_.add(bot->session().socket(), bot->wantsToSend());
                watched_.push_back(bot);
            }
        }
        poller_.wait(timeoutMs);
        if (poller_.woken() && !midPass) {
            wakeEvent_.reset();  // the flags it stood for are read next, under the lock
        }
        for (std::size_t i = 0; i < watched_.size(); ++i) {
            const Readiness ready = poller_.readiness(i);
            if (ready.any()) {
                watched_[i]->serviceSocket(ready);  // reads; the next pass applies
            }
        }
    }

    GameClock clock_;
    Poller poller_;              // the driving thread's
    std::vector<Bot*> watched_;  // the bot of each socket in poller_
    WakeEvent wakeEvent_;        // add, hold and stop end the wait at once
    std::mutex mutex_;
    std::condition_variable released_;
    std::condition_variable parkedChanged_;
    std::vector<Bot*> bots_;  // under mutex_
    bool listChanged_ = false;
    bool stopping_ = false;
    bool holdRequested_ = false;
    bool parked_ = false;
    bool finished_ = false;
    std::thread thread_;  // last: starts once everything above is built
};

BotRunner::BotRunner(BotRunnerOptions options, BotLog& log) : options_(std::move(options)), log_(log) {
    const int count = std::max(options_.count, 0);
    int threads = options_.threads;
    if (threads <= 0) {
        const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
        threads = std::min((count + kBotsPerThread - 1) / kBotsPerThread, cores);
    }
    threads = std::clamp(threads, 1, std::max(count, 1));
    for (int i = 0; i < threads; ++i) {
        drivers_.push_back(std::make_unique<Driver>(options_.clock));
    }
    for (int i = 0; i < count; ++i) {
        auto bot = std::make_unique<Bot>(i, botName(options_.namePrefix, i + 1), botSeed(options_.seed, i), log_,
                                         options_.clock);
        bot->setStatusListener([this] { statusChanged(); });
        bots_.push_back(std::move(bot));
    }
}

BotRunner::~BotRunner() {
    stopDrivers();
    for (auto& bot : bots_) {
        bot->shutdown();
    }
}

bool BotRunner::loadArtwork() {
    for (auto& bot : bots_) {
        if (!bot->loadArtwork(options_.dataDirectory)) {
            return false;
        }
    }
    return true;
}

bool BotRunner::startRecordings() {
    if (options_.recordDirectory.empty()) {
        return true;
    }
    std::error_code error;
    std::filesystem::create_directories(options_.recordDirectory, error);
    for (auto& bot : bots_) {
        const std::filesystem::path path = options_.recordDirectory / ("bot" + std::to_string(bot->index() + 1) + ".krec");
        std::string problem;
        if (!bot->startRecording(path.string(), problem)) {
            log_.line(problem);
            return false;
        }
    }
    return true;
}

int BotRunner::joinAll(const std::function<bool()>& keepGoing) {
    int joined = 0;
    for (std::size_t i = 0; i < bots_.size(); ++i) {
        if (!keepGoing()) {
            break;
        }
        Bot& bot = *bots_[i];
        std::vector<std::uint64_t> joinsBefore;  // taken before the Join goes out
        for (std::size_t j = 0; j < i; ++j) {
            joinsBefore.push_back(bots_[j]->joinsSeen());
        }
        if (!bot.connectAndJoin(options_.server, static_cast<int>(options_.stepTimeout.count()),
                                /*receiveThread=*/false)) {
            break;
        }
        ++joined;
        drivers_[i % drivers_.size()]->add(&bot);
        if (awaitJoinRound(bot, joinsBefore)) {
            const std::size_t players = bot.playersKnown();
            log_.line(bot.label() + ": joined, " + std::to_string(players) + (players == 1 ? " player" : " players") +
                      " in the game");
        } else {
            log_.line(bot.label() + ": joined, but the game has not resumed " +
                      std::to_string(options_.stepTimeout.count() / 1000) +
                      " s later (a player who does not answer joins?); carrying on");
        }
    }
    return joined;
}

// The join is through when the newcomer plays, every bot that was playing has applied the
// newcomer's Join and runs again, and, once the newcomer knows anyone else, its own Resume has
// come: only then is the server's count of answers back at rest, so that the next Join starts
// a round of its own instead of merging into this one.
bool BotRunner::awaitJoinRound(const Bot& newcomer, const std::vector<std::uint64_t>& joinsBefore) {
    const auto deadline = std::chrono::steady_clock::now() + options_.stepTimeout;
    const bool othersResumed = waitUntil(
        [&] {
            if (newcomer.phase() == BotPhase::Joining) {
                return false;
            }
            for (std::size_t j = 0; j < joinsBefore.size(); ++j) {
                const Bot& other = *bots_[j];
                if (other.phase() == BotPhase::Playing && (other.joinsSeen() == joinsBefore[j] || other.worldStopped())) {
                    return false;
                }
            }
            return true;
        },
        deadline);
    // Alone in its own world so far: players it does not know yet answer within moments.
    waitUntil([&newcomer] { return newcomer.playersKnown() > 1; },
              std::min(deadline, std::chrono::steady_clock::now() + kAnswerGrace));
    if (!othersResumed || newcomer.playersKnown() <= 1) {
        return othersResumed;
    }
    return waitUntil([&newcomer] { return newcomer.resumesSeen() > 0 || newcomer.phase() == BotPhase::Gone; },
                     deadline);
}

void BotRunner::setBrainsPaused(bool paused) {
    withBotsHeld([paused](std::span<Bot* const> bots) {
        for (Bot* bot : bots) {
            bot->brain().setPaused(paused);
        }
    });
}

void BotRunner::withBotsHeld(const std::function<void(std::span<Bot* const> bots)>& inspect) {
    for (auto& driver : drivers_) {
        driver->hold();
    }
    std::vector<Bot*> bots;
    for (auto& bot : bots_) {
        bots.push_back(bot.get());
    }
    inspect(bots);
    for (auto& driver : drivers_) {
        driver->release();
    }
}

bool BotRunner::waitUntil(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        std::uint64_t seen = 0;
        {
            std::lock_guard lock(changeMutex_);
            seen = changes_;
        }
        if (done()) {
            return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return false;
        }
        std::unique_lock lock(changeMutex_);
        changed_.wait_until(lock, std::min(deadline, now + kWaitCheck), [&] { return changes_ != seen; });
    }
}

void BotRunner::leaveAll(std::chrono::milliseconds timeout) {
    std::vector<Bot*> leaving;
    withBotsHeld([&leaving](std::span<Bot* const> bots) {
        for (Bot* bot : bots) {
            if (bot->phase() == BotPhase::Joining || bot->phase() == BotPhase::Playing) {
                bot->leave();
                leaving.push_back(bot);
            }
        }
    });
    waitUntil(
        [&leaving] {
            return std::none_of(leaving.begin(), leaving.end(),
                                [](const Bot* bot) { return bot->phase() == BotPhase::Leaving; });
        },
        std::chrono::steady_clock::now() + timeout);
    stopDrivers();
    for (Bot* bot : leaving) {
        const bool closed = bot->phase() == BotPhase::Gone;
        log_.line(bot->label() + (closed ? ": left" : ": left (the server did not close the connection in time)"));
    }
    for (auto& bot : bots_) {
        bot->shutdown();
    }
}

void BotRunner::leave(int index, std::chrono::milliseconds timeout) {
    Bot& bot = *bots_.at(static_cast<std::size_t>(index));
    bool asked = false;
    withBotsHeld([&](std::span<Bot* const>) {
        if (bot.phase() == BotPhase::Joining || bot.phase() == BotPhase::Playing) {
            bot.leave();
            asked = true;
        }
    });
    if (!asked) {
        return;
    }
    const bool closed =
        waitUntil([&bot] { return bot.phase() == BotPhase::Gone; }, std::chrono::steady_clock::now() + timeout);
    withBotsHeld([&](std::span<Bot* const>) { bot.shutdown(); });
    log_.line(bot.label() + (closed ? ": left" : ": left (the server did not close the connection in time)"));
}

int BotRunner::countInPhase(BotPhase phase) const {
    return static_cast<int>(
        std::count_if(bots_.begin(), bots_.end(), [phase](const auto& bot) { return bot->phase() == phase; }));
}

void BotRunner::statusChanged() {
    std::lock_guard lock(changeMutex_);
    ++changes_;
    changed_.notify_all();
}

void BotRunner::stopDrivers() {
    for (auto& driver : drivers_) {
        driver->stop();
    }
}

}  // namespace kestrane
