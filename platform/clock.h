// clock.h -- the one clock type that everything deciding by time is handed, and a hand-stepped
// one for tests.
#pragma once

#include <atomic>
#include <functional>

namespace kestrane {

// Seconds on a monotonic clock, in double precision. Code that decides by time takes one of
// these at construction instead of reading the system clock, so a test can step it.
using GameClock = std::function<double()>;

// Seconds since program start on the system's monotonic clock: it never wraps and keeps
// sub-microsecond resolution for centuries. The default GameClock everywhere.
double secondsSinceStart();

// A clock that moves only when told. Thread-safe: one thread may step it while others read it.
class ManualClock {
public:
    explicit ManualClock(double start = 0) : now_(start) {}
    double now() const { return now_.load(); }
    void advance(double seconds) { now_.store(now_.load() + seconds); }
    void set(double seconds) { now_.store(seconds); }
    // A GameClock reading this one; it must not outlive it.
    GameClock clock() const {
        return [this] { return now(); };
    }

private:
    std::atomic<double> now_;
};

}  // namespace kestrane
