// log_pace.cpp -- the one-second windows of LogPace.
#include "server/log_pace.h"

namespace kestrane {

std::uint64_t LogPace::due(double now) {
    if (!open_ || now - windowStart_ < kWindowSeconds) {
        return 0;
    }
    const std::uint64_t summary = counted_;
    counted_ = 0;
    open_ = summary > 0;  // a summed-up window opens the next one; a quiet one ends the run
    windowStart_ = now;
    return summary;
}

LogPace::Step LogPace::note(double now) {
    Step step;
    step.summary = due(now);
    if (open_) {
        ++counted_;
        return step;
    }
    open_ = true;
    windowStart_ = now;
    step.ownLine = true;
    return step;
}

std::uint64_t LogPace::takeRest() {
    const std::uint64_t rest = counted_;
    counted_ = 0;
    return rest;
}

}  // namespace kestrane
