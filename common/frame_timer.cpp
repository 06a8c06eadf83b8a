// frame_timer.cpp -- the monotonic clock and the slot table.
#include "common/frame_timer.h"

#include <chrono>
#include <limits>

namespace kestrane {

namespace {
const auto programStart = std::chrono::steady_clock::now();
}

double secondsSinceStart() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - programStart).count();
}

FrameTimer::FrameTimer(Clock clock) : clock_(std::move(clock)) {
    // Never due before: the first question on any slot answers true.
    lastDue_.fill(-std::numeric_limits<double>::infinity());
}

bool FrameTimer::due(int slot, float interval) {
    if (slot < 0 || slot >= kSlotCount) {
        return false;
    }
    const double now = clock_();
    if (now - lastDue_[slot] > static_cast<double>(interval)) {
        lastDue_[slot] = now;
        return true;
    }
    return false;
}

}  // namespace kestrane
