// frame_timer.cpp -- the slot table.
#include "common/frame_timer.h"

#include <limits>

namespace kestrane {

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
