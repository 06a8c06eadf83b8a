// wake_event.h -- a manual-reset event that a thread can wait on together with a socket.
#pragma once

namespace kestrane {

// Once signalled it stays signalled. Thread-safety: signal() from any thread; waits from any.
class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    void signal();
    bool signalled() const;
    // A descriptor that polls readable once the event is signalled.
    int fd() const { return readFd_; }

    // Waits at most `timeoutMs` for the event, or for `socketFd` (if >= 0) to become
    // readable or closed. True when the event is signalled.
    bool wait(int timeoutMs, int socketFd = -1) const;

private:
    int readFd_ = -1;
    int writeFd_ = -1;
};

}  // namespace kestrane
