// token_bucket.h -- a burst, then a sustained rate: the shape of every limit on what peers send.
#pragma once

#include <algorithm>

namespace kestrane {

// Times are seconds on the server's clock; the caller keeps the rate and the burst, so one
// set of limits serves many buckets.
struct TokenBucket {
    double tokens = 0;
    double at = 0;  // when it was last refilled

    // Refills for the time since the last call, up to `burst`, and takes one token; false,
    // taking nothing, when none is left. A clock that steps back refills nothing.
    bool take(double now, double rate, double burst) {
        tokens = std::min(burst, tokens + std::max(0.0, now - at) * rate);
        at = std::max(at, now);
        if (tokens < 1) {
            return false;
        }
        tokens -= 1;
        return true;
    }
};

}  // namespace kestrane
