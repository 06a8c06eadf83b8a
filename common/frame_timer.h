// frame_timer.h -- interval slots that pace the client's frames, the chat caret and the server's tick.
#pragma once

#include <array>

#include "platform/clock.h"

namespace kestrane {

// Interval constants, kept at their single-precision values.
inline constexpr float framePeriod = 1.0f / 30.0f;  // 0.033333335 s: one client frame
inline constexpr float caretInterval = 0.1f;        // the chat caret's blink slot
inline constexpr float tickInterval = 0.05f;        // the server's Tick

inline constexpr int kFrameSlot = 0;  // client frames; also the server's tick
inline constexpr int kCaretSlot = 1;

// 100 independent slots. `due` answers whether more than `interval` seconds have passed
// since the slot last came due and, if so, re-arms the slot at the moment of the question:
// lateness is never made up. The first question on a slot answers true.
// Not thread-safe: each instance belongs to one thread.
class FrameTimer {
public:
    using Clock = GameClock;
    static constexpr int kSlotCount = 100;

    explicit FrameTimer(Clock clock = secondsSinceStart);

    // slot: 0..99 (others answer false); interval: seconds. Strictly greater is due.
    bool due(int slot, float interval);

private:
    Clock clock_;
    std::array<double, kSlotCount> lastDue_;
};

}  // namespace kestrane
