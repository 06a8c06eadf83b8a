// wake_event.cpp -- a pipe that is written to signal and drained to reset.
#include "platform/wake_event.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace kestrane {

WakeEvent::WakeEvent() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        readFd_ = fds[0];
        writeFd_ = fds[1];
    }
}

WakeEvent::~WakeEvent() {
    if (readFd_ >= 0) ::close(readFd_);
    if (writeFd_ >= 0) ::close(writeFd_);
}

void WakeEvent::signal() {
    const char byte = 1;
    // One byte keeps the pipe readable until reset() drains it; a full pipe (EAGAIN)
    // means it is signalled already.
    while (::write(writeFd_, &byte, 1) < 0 && errno == EINTR) {
    }
}

void WakeEvent::reset() {
    char bytes[64];
    while (::read(readFd_, bytes, sizeof bytes) > 0) {
    }
}

bool WakeEvent::signalled() const {
    pollfd entry{readFd_, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0;
}

bool WakeEvent::wait(int timeoutMs, int socketFd) const {
    pollfd entries[2] = {{readFd_, POLLIN, 0}, {socketFd, POLLIN | POLLRDHUP, 0}};
    const nfds_t count = socketFd >= 0 ? 2 : 1;
    if (::poll(entries, count, timeoutMs) <= 0) {
        return false;
    }
    return (entries[0].revents & POLLIN) != 0;
}

}  // namespace kestrane
