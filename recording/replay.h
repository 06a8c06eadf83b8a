// replay.h -- a recording applied to a world, event by event, the way the recording program's
// world applied it: the local player, each packet, and (when asked) each frame with its keys.
#pragma once

#include <cstddef>
#include <functional>

#include "client/world/client_world.h"
#include "recording/recording_file.h"

namespace kestrane {

// Steps one recording through one world. A replay sends nothing: the packets the world asks
// to send are dropped after every event; its sounds and pictures stay in the outbox for the
// caller to carry out or clear. Main thread only.
class Replay {
public:
    explicit Replay(const Recording& recording, FrameTimer::Clock caretClock = secondsSinceStart);

    const Recording& recording() const { return recording_; }
    ClientWorld& world() { return world_; }
    const ClientWorld& world() const { return world_; }

    bool finished() const { return next_ >= recording_.events.size(); }
    // The event the next step applies; only while not finished.
    const RecordingEvent& nextEvent() const { return recording_.events[next_]; }
    std::size_t position() const { return next_; }
    // Ticks applied so far.
    std::size_t ticks() const { return ticks_; }

    // Applies the next event. Frames run the frame tick with the recorded keys only when
    // `runFrames` (drawing with `draw`); otherwise they are passed over: nothing a frame does
    // changes the state replicas compare. Returns whether the event was a Tick.
    bool step(bool runFrames = false, const std::function<void()>& draw = {});

private:
    const Recording& recording_;
    ClientWorld world_;
    std::size_t next_ = 0;
    std::size_t ticks_ = 0;
};

}  // namespace kestrane
