// bot.h -- one bot player: the real client (session, world, dispatcher, frame tick) with
// headless media and a BotBrain at the keyboard.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "bots/bot_brain.h"
#include "bots/bot_log.h"
#include "client/media/client_media.h"
#include "client/net/client_session.h"
#include "client/world/client_world.h"
#include "common/frame_timer.h"
#include "recording/recording_file.h"

namespace kestrane {

// When each queued packet arrived, in queue order, so that whoever applies a record learns
// when its bytes came in. The receive thread notes a time after each push; the thread that
// applies records takes the time of each record as it takes the record. Thread-safe for
// exactly that pair.
class ArrivalClock {
public:
    // Receive thread: the record just pushed arrived at `now`.
    void notePush(double now);
    // Applying thread: the arrival time of the record just taken off the queue; `now` when the
    // receive thread has not noted it yet (it is about to, with the same moment).
    double takeFor(double now);

private:
    std::mutex mutex_;
    std::deque<double> times_;  // for records [taken_, pushed_) in order
    std::uint64_t pushed_ = 0;
    std::uint64_t taken_ = 0;
};

// Where a bot is in its life. Only ever moves forward.
enum class BotPhase {
    Idle,     // not connected
    Joining,  // Join sent; its world has not run since
    Playing,  // its world has run since its own Join came back (alone, or after the Resume)
    Leaving,  // Leave sent; waiting for the server to close the connection
    Gone,     // the connection has ended: after Leave, at ServerClosing, or lost
};

// What a bot has seen, counted by the thread that drives it.
struct BotCounters {
    std::uint64_t packetsApplied = 0;
    std::uint64_t ticks = 0;
    std::uint64_t joinsSeen = 0;      // Join packets applied, its own included
    std::uint64_t resumes = 0;
    std::uint64_t hitsSeen = 0;       // Hit packets applied, on anyone
    std::uint64_t ownEchoes = 0;      // own packets the server relayed back
    std::uint64_t frames = 0;
    std::uint64_t respawns = 0;
    std::uint64_t serverClosings = 0;
    bool droppedByServer = false;     // a Leave in its own name came back: the server gave up on it
};

// One bot. Built and connected on one thread, then driven by one thread at a time (the
// runner's), like the client's main loop: packets are applied in the order they came and,
// when the frame timer (1/30 s) comes due, the brain sets the keyboard and a frame tick runs.
// With a receive thread, each pass applies at most one queued packet, as the client does;
// without one, each pass applies everything the last read brought (see serviceSocket).
// Nothing here is thread-safe except phase() and the join status accessors, which any thread
// may read.
class Bot {
public:
    // `cp949Name`: the player name as it travels (at most 20 bytes are used). `seed` decides the
    // start position and every choice of the brain. `clock` paces the frames and times the
    // echoes (seconds); it is read on the receive thread too.
    Bot(int index, std::string_view cp949Name, std::uint64_t seed, BotLog& log,
        FrameTimer::Clock clock = secondsSinceStart);
    ~Bot();
    Bot(const Bot&) = delete;
    Bot& operator=(const Bot&) = delete;

    // Loads the player and bullet sprite sets from `directory`: their hot spots decide where a
    // shot starts and what it hits. Nothing is drawn, so nothing else is needed. False (with
    // the loader's message shown) when either set is missing or damaged.
    bool loadArtwork(const std::filesystem::path& directory);
    // Records from now on what the bot's world applies, and its frames, into `path`. Call
    // before connecting. False with `error` set when the file cannot be written.
    bool startRecording(const std::string& path, std::string& error) {
        return recording_.open(path, RecordingSource::Bot, error);
    }
    // Called on the receive thread after every packet queued (the runner wakes the bot's
    // driving thread with it). Set it before connecting.
    void setWakeListener(std::function<void()> listener) { wake_ = std::move(listener); }
    // Called on whichever thread changes phase() or the join status below. Set it before connecting.
    void setStatusListener(std::function<void()> listener) { statusListener_ = std::move(listener); }

    // Connects to "HOST[:PORT]", reads the Welcome and sends the Join, waiting at most
    // `timeoutMs` for each step; then starts the session's receive thread, unless
    // `receiveThread` is false: then the thread that drives the bot also watches its socket
    // (see watchesSocket). False, with a log line, on failure.
    bool connectAndJoin(std::string_view address, int timeoutMs, bool receiveThread = true);

    // For a bot without a receive thread: whether its socket is to be watched now (connected,
    // and the connection has not ended), and for room to send as well; and what to do when a
    // poller found `ready` on session().socket(): flush, and read every whole packet that
    // waits, each timed as arriving at the moment of the read. The next runPass applies them
    // all; so a thread watching many bots reads every ready socket before it applies what
    // came. Driving thread only.
    bool watchesSocket() const { return watched_; }
    bool wantsToSend() const { return session_.outgoingBytes() > 0; }
    void serviceSocket(const Readiness& ready);

    // One pass of the main loop at time `now` (seconds, the frame clock's): applies one queued
    // packet (with a receive thread) or everything the last serviceSocket read (without), then
    // a frame when it is due. True when it did either.
    bool runPass(double now);
    // When the next frame comes due (infinity while no frames are run).
    double nextFrameAt() const { return nextFrameAt_; }

    // Sends Leave; the bot then applies what still comes, runs no more frames, and is Gone
    // when the server has closed the connection.
    void leave();
    // Stops the receive thread and closes the connection.
    void shutdown();

    BotPhase phase() const { return phase_.load(); }
    // Join status as of the last packet applied, for any thread: whether the world is stopped
    // (waiting for a Resume), how many Joins (its own included) and Resumes it has applied,
    // and how many players its world holds.
    bool worldStopped() const { return status_.worldStopped.load(); }
    std::uint64_t joinsSeen() const { return status_.joins.load(); }
    std::uint64_t resumesSeen() const { return status_.resumes.load(); }
    std::size_t playersKnown() const { return status_.players.load(); }
    int index() const { return index_; }
    std::uint8_t playerNumber() const { return session_.localPlayerNumber(); }
    // "name (player N)" in UTF-8, for log lines.
    std::string label() const;

    ClientWorld& world() { return world_; }
    const ClientWorld& world() const { return world_; }
    BotBrain& brain() { return brain_; }
    ClientSession& session() { return session_; }
    const BotCounters& counters() const { return counters_; }

    // Relay latency: for each own packet the server echoes back, the time from handing it to
    // the socket to the arrival of the echo, in milliseconds. Kept only while measuring.
    void setMeasuring(bool on) { measuring_ = on; }
    std::vector<float>& echoLatenciesMs() { return echoLatenciesMs_; }

private:
    bool dispatchOne();
    // Applies what the last serviceSocket read, all of it (unless the bot is Gone before the
    // end); false when there was nothing.
    bool applyRead();
    // Applies one record that arrived at `arrivedAt` as the client's dispatcher would.
    void apply(const PacketRecord& record, double arrivedAt);
    void observe(const PacketRecord& record, double arrivedAt);
    void stopFramesOnceLeaving();
    void runFrame();
    // Sends what the world asked to send; its sounds and pictures go unheard and unseen.
    void sendOutbox();
    void setPhase(BotPhase phase);
    void publishStatus(bool worldStopped);

    int index_;
    BotLog& log_;
    FrameTimer::Clock clock_;
    ClientSession session_;
    ClientMedia media_;  // only the sprite sets: their sizes decide where shots start and hit
    ClientWorld world_;
    BotBrain brain_;
    BotRandom placement_;
    FrameTimer frameTimer_;
    double nextFrameAt_ = 0;
    std::atomic<BotPhase> phase_{BotPhase::Idle};
    struct SharedStatus {
        std::atomic<bool> worldStopped{true};
        std::atomic<std::uint64_t> joins{0};
        std::atomic<std::uint64_t> resumes{0};
        std::atomic<std::size_t> players{0};
    } status_;
    bool watched_ = false;
    // No receive thread: the driving thread reads the socket (serviceSocket) and the next pass
    // applies what the read brought.
    bool readsOwnSocket_ = false;
    // While serviceSocket reads: whether the moment of the read has been taken, and that moment.
    bool readTimed_ = false;
    double readAt_ = 0;
    bool readPending_ = false;  // the last read queued packets that have not been applied yet
    std::function<void()> wake_;
    std::function<void()> statusListener_;

    RecordingWriter recording_;
    ArrivalClock arrivals_;
    std::deque<double> sentAt_;  // own packets awaiting their echo, oldest first
    bool measuring_ = false;
    std::vector<float> echoLatenciesMs_;
    BotCounters counters_;
};

}  // namespace kestrane
