// main_loop.cpp -- events first, then one packet and a due frame, then sleep until there is work.
#include "client/app/main_loop.h"

#include <cmath>

namespace kestrane {

namespace {

// The longest single wait: a frame is never further away, but a clock that jumps must not
// put the loop to sleep for long.
constexpr int kLongestWaitMs = 100;

}  // namespace

int waitMilliseconds(double seconds) {
    if (!(seconds > 0)) {
        return 0;
    }
    const double milliseconds = std::ceil(seconds * 1000.0);
    return milliseconds >= kLongestWaitMs ? kLongestWaitMs : static_cast<int>(milliseconds);
}

void runMainLoop(MainLoopHost& host) {
    while (!host.quitRequested()) {
        if (host.handleWaitingEvent()) {
            continue;
        }
        host.dispatchNextPacket();
        if (host.frameDue()) {
            host.frameTick();
        }
        host.flushOutgoing();
        if (host.quitRequested() || host.packetWaiting()) {
            continue;
        }
        const int waitMs = waitMilliseconds(host.secondsUntilFrame());
        if (waitMs > 0) {
            host.waitForEvent(waitMs);
        }
    }
}

}  // namespace kestrane
