// packet_worker.h -- the server's second thread: the Tick clock, relays and the few messages it reads.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <thread>

#include "common/frame_timer.h"
#include "server/server_state.h"

namespace kestrane {

// Each pass first starts a Tick round when more than 0.05 s have passed since the last round
// started (a fixed schedule that does not drift by the time a round takes to go out; after a
// stall the next round starts at once and the one after 0.05 s later, with nothing made up).
// A round queues the Tick for every player and flushes: it goes to every player whose
// previous Tick was handed over more than 0.05 s ago; on a connection for which it is too
// soon (the previous round reached it late) it waits in place, with everything queued behind
// it, until its 0.05 s are over, and the worker wakes for that. So no connection ever sees two
// Ticks closer than that, every player gets the same packets in the same order, and no other
// player waits for it.
// Then the pass handles at most one queued record: relays it to every player in join order, the
// sender included, and for Join, Leave, PlayerState and Fire also does what they ask.
// What a pass sends goes out at the end of the pass once the queue is empty; while records
// wait, up to kMaxBatch passes (or kMaxBatchAge) share one send per player, which keeps a
// crowded server from spending itself on system calls. A server of more than
// kSpreadFromPlayers players also lets flushes follow each other no closer than
// flushGap() apart (a record that arrives sooner waits for the rest of the gap): each flush
// costs a send per player, and the more players the more records, so a crowded server would
// otherwise spend itself on sends of one or two packets. A batch due so close before the
// next round that its flush would still be going out when the round is due (the last flush
// took longer than what is left, kMaxBatchAge at most) waits for the round instead: the Tick
// then starts on time rather than behind that flush, and everyone gets one send fewer.
// Between passes with nothing queued the thread sleeps until a record arrives, the next Tick
// is due, a waiting Tick may go or a waiting batch is due.
class PacketWorker {
public:
    static constexpr int kMaxBatch = 64;
    static constexpr double kMaxBatchAge = 0.002;  // seconds
    static constexpr std::size_t kSpreadFromPlayers = 64;
    static constexpr double kFlushGapPerPlayer = 0.00001;  // seconds, each player beyond kSpreadFromPlayers
    // After a Join, the Resume goes out when every joined player has answered, and at the
    // latest this long after the Join (a joined player that never answers cannot stop the game).
    static constexpr double kResumeWait = 1.0;  // seconds

    explicit PacketWorker(ServerState& state, FrameTimer::Clock clock = secondsSinceStart);
    ~PacketWorker();
    PacketWorker(const PacketWorker&) = delete;
    PacketWorker& operator=(const PacketWorker&) = delete;

    // Starts the thread; it ticks at once.
    void start();
    // Ends the thread after its current pass and waits for it (at most about one tick).
    void stop();
    bool running() const { return thread_.joinable(); }

    // One pass, on the calling thread (the thread body, and tests driving a fake clock).
    // Returns true when it handled a record.
    bool runPass();
    // The least time between two flushes for `players` players, in seconds: 0 up to
    // kSpreadFromPlayers, then kFlushGapPerPlayer more each, kMaxBatchAge at most.
    static double flushGap(std::size_t players);
    // Seconds until the next Tick is due; 0 when it is due now.
    double secondsUntilTick() const;
    // Seconds until the next Tick round, the Resume deadline, the end of a Tick's wait on its
    // connection or a waiting batch's flush, whichever comes first; 0 when due now.
    double secondsUntilDue() const;

private:
    void packetWorker();
    // The steps below run with the players lock held.
    void processRecord(const PacketRecord& record);
    void relayPacket(const PacketRecord& record);
    void readyCheck();
    void sendResume();
    void flushAll();
    // When the batch waiting to go out is due, `now` at the earliest; +inf: none waits, or
    // the next round will carry it.
    double batchDueAt(double now) const;
    // Whether a batch due at `at` goes out with the next round instead.
    bool carriedByRound(double at) const;

    ServerState& state_;
    FrameTimer::Clock clock_;
    double lastRoundAt_;  // when the last Tick round started
    bool joinHeld_ = false;   // the last pass left a Join queued until no Tick waits for its interval
    double joinHeldSince_ = std::numeric_limits<double>::infinity();  // when that Join was first held
    int batchPasses_ = 0;     // passes whose packets wait for the next flush
    double batchStart_ = 0;   // when the first of them ran
    double batchGap_ = 0;     // flushGap() when the last of them ran
    double lastFlushAt_ = -std::numeric_limits<double>::infinity();
    double lastFlushTook_ = 0;  // how long that flush to everyone took
    int readyCount_ = 0;            // PlayerStates since the last Resume (a Join sets it to 1)
    double resumeDeadline_;         // when the Resume of the last Join is due at the latest; +inf: none owed
    std::uint16_t shotSerial_ = 0;  // the bullet id the next Fire gets: 0, then 1..101 round
    std::atomic<bool> workerRunning_{false};
    std::thread thread_;
};

}  // namespace kestrane
