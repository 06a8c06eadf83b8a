// bot_runner.h -- many bots in one process: joining them one after another, driving them on a
// few threads, pausing them to look at their worlds, and letting them leave.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "bots/bot.h"
#include "bots/bot_log.h"

namespace kestrane {

struct BotRunnerOptions {
    std::string server = "127.0.0.1";  // "HOST[:PORT]"
    int count = 4;
    std::string namePrefix = "bot";  // code page 949; bot i is named prefix + i (i from 1)
    std::uint64_t seed = 1;
    int threads = 0;  // threads driving the bots; 0: one per 256 bots, at most the machine's cores
    std::filesystem::path dataDirectory;  // where the sprite sets are; empty: the working directory
    std::chrono::milliseconds stepTimeout{10000};  // connect, welcome, and each join's Resume
    GameClock clock = secondsSinceStart;  // paces every bot's frames and times their echoes
    std::filesystem::path recordDirectory;  // each bot records into botN.krec here; empty: none
};

// The name of bot `number` (from 1): the code page 949 prefix, cut so that prefix and number
// fit the 20 bytes of a name without splitting a two-byte character, then the number.
std::string botName(std::string_view prefix, int number);

// Runs options.count bots. Bots are driven round-robin by one thread or a few, each bot always
// by the same one, which also reads its socket: a thread waits on one poller over all its bots'
// sockets until a packet arrives for one of them or a frame comes due, reads every ready
// socket, then applies what each read brought. The bots have no receive threads. All members
// are for one controlling thread (the program's main thread, a test, a benchmark).
class BotRunner {
public:
    BotRunner(BotRunnerOptions options, BotLog& log);
    ~BotRunner();  // stops the threads and closes every connection (without Leave)
    BotRunner(const BotRunner&) = delete;
    BotRunner& operator=(const BotRunner&) = delete;

    // Loads every bot's sprite sets. False when they cannot be read (the loader has shown why).
    bool loadArtwork();
    // Opens each bot's recording in options.recordDirectory (made when missing). False, with a
    // log line, when one cannot be written. Nothing to do without a directory.
    bool startRecordings();
    // Connects and joins the bots one at a time, each next one once the join before is through
    // (every world it stopped runs again after the Resume), or after stepTimeout with a log
    // line. `keepGoing` is asked before each bot; false stops joining. Returns how many bots
    // joined. A bot that cannot connect ends the joining: the ones after it would fail the same.
    int joinAll(const std::function<bool()>& keepGoing = [] { return true; });

    // Pauses or resumes every bot's brain (see BotBrain::setPaused).
    void setBrainsPaused(bool paused);
    // Runs `inspect` while every driving thread is parked between passes, so the bots' worlds
    // hold still and may be read or changed (their sockets are not read meanwhile).
    void withBotsHeld(const std::function<void(std::span<Bot* const> bots)>& inspect);

    // Waits until `done` holds, asking it again whenever a bot's phase or join status changes
    // and at least every 50 ms; false when `deadline` passes first. `done` runs on this
    // thread, unsynchronised with the bots: it should only look at what Bot offers to any thread.
    bool waitUntil(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline);

    // Every joined bot sends Leave; waits until the server has closed their connections (at
    // most `timeout`, as a client waits after its Leave), then stops the threads and closes
    // whatever is still open. Logs one line per bot.
    void leaveAll(std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    // One bot leaves (the others play on). Logs its line once the server has let it go.
    void leave(int index, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));

    std::size_t size() const { return bots_.size(); }
    // Bots in the given phase.
    int countInPhase(BotPhase phase) const;
    int threadCount() const { return static_cast<int>(drivers_.size()); }

private:
    class Driver;
    bool awaitJoinRound(const Bot& newcomer, const std::vector<std::uint64_t>& joinsBefore);
    void statusChanged();
    void stopDrivers();

    BotRunnerOptions options_;
    BotLog& log_;
    std::vector<std::unique_ptr<Bot>> bots_;
    std::vector<std::unique_ptr<Driver>> drivers_;
    std::mutex changeMutex_;
    std::condition_variable changed_;
    std::uint64_t changes_ = 0;
};

}  // namespace kestrane
