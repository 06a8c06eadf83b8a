// replay.cpp -- applying a recording's events to a world.
#include "recording/replay.h"

#include "client/world/dispatcher.h"
#include "client/world/frame_tick.h"

namespace kestrane {

Replay::Replay(const Recording& recording, FrameTimer::Clock caretClock)
    : recording_(recording), world_(std::move(caretClock)) {}

bool Replay::step(bool runFrames, const std::function<void()>& draw) {
    if (finished()) {
        return false;
    }
    const RecordingEvent& event = recording_.events[next_++];
    bool tick = false;
    switch (event.kind) {
        case RecordingEvent::Kind::LocalPlayer:
            world_.setLocalPlayer(event.number, event.name);
            break;
        case RecordingEvent::Kind::Packet:
            applyPacket(world_, event.packet);
            tick = event.packet.msgType() == MsgType::Tick;
            break;
        case RecordingEvent::Kind::Frame:
            if (runFrames) {
                frameTick(world_, event.keys, draw);
            }
            break;
    }
    if (tick) {
        ++ticks_;
    }
    world_.outbox.packets.clear();  // a replay sends nothing
    return tick;
}

}  // namespace kestrane
