// wake_event.h -- a manual-reset event that a thread can wait on together with sockets.
#pragma once

#include <cstdint>

#include "platform/socket_serial.h"

namespace kestrane {

// Once signalled it stays signalled until reset(). Thread-safety: signal() from any thread
// and from a signal handler (it is async-signal-safe); waits from any; reset() from the
// thread that waits on it.
class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    void signal();
    // Back to unsignalled. A signal() racing with it is either kept or consumed by it, so
    // the waiter must look at what it waits for after the reset, not before.
    void reset();
    bool signalled() const;
    // A descriptor that polls readable once the event is signalled.
    int fd() const { return readFd_; }
    std::uint64_t serial() const { return serial_; }

    // Waits at most `timeoutMs` for the event, or for `socketFd` (if >= 0) to become
    // readable or closed. True when the event is signalled.
    bool wait(int timeoutMs, int socketFd = -1) const;

private:
    int readFd_ = -1;
    int writeFd_ = -1;
    std::uint64_t serial_ = nextSocketSerial();
};

}  // namespace kestrane
