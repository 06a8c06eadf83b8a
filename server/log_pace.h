// log_pace.h -- one line for the first of a kind of event, then one summary line a second at most.
#pragma once

#include <cstdint>

namespace kestrane {

// Paces the log lines about one kind of event from one player (invalid packets, packets
// dropped over budget): the first event gets its own line; those in the second after it are
// counted and summed up in one line when the second is over, which opens the next second.
// A second without events ends the run, and the next event gets its own line again.
// Time is seconds on the server's clock. Not thread-safe (used under the players lock).
class LogPace {
public:
    static constexpr double kWindowSeconds = 1.0;

    struct Step {
        std::uint64_t summary = 0;  // events of the window that just ended, to sum up first (0: none)
        bool ownLine = false;       // this event gets its own line
    };
    // One event at `now`.
    Step note(double now);
    // At `now`: the count to sum up when a window with events in it has ended (0: nothing yet).
    std::uint64_t due(double now);
    // Events counted and not yet summed up; forgets them (the player is leaving).
    std::uint64_t takeRest();

private:
    bool open_ = false;  // a window runs
    double windowStart_ = 0;
    std::uint64_t counted_ = 0;
};

}  // namespace kestrane
