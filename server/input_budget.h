// input_budget.h -- how much one player may have relayed: a token bucket, and the repeated-Join rule.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

#include "server/token_bucket.h"

namespace kestrane {

// The budget every player gets. The defaults leave honest clients far below it: a person at
// the keys sends a few packets a second, and a game that fills up answers each Join with one
// PlayerState per player, so 254 bots joining in a burst cost each player 253 packets at once.
struct InputLimits {
    double packetsPerSecond = 128;  // sustained rate
    double burst = 1024;            // packets that may come at once after a quiet spell
    double removeAfterSeconds = 3;  // dropping for this long without a break removes the player
    double joinRepeatSeconds = 5;   // a Join within this long of the player's last one is dropped
};

// One player's bucket. Time comes in as seconds on the server's clock. Used by the network
// loop under the players lock.
class InputBudget {
public:
    enum class Verdict {
        Pass,       // relay it
        FirstDrop,  // drop it; the first drop after a spell within budget
        Drop,       // drop it
        Remove,     // drop it: the player has been over budget for removeAfterSeconds
    };
    // A spell of drops ends when this long passes without one.
    static constexpr double kSpellGapSeconds = 1.0;

    // Takes one packet's worth from the bucket at `now`.
    Verdict take(double now, const InputLimits& limits);

private:
    std::optional<TokenBucket> bucket_;  // starts full at the first packet
    double spellStart_ = 0;
    double lastDrop_ = -std::numeric_limits<double>::infinity();
};

}  // namespace kestrane
