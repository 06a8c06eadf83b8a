// poller_windows.cpp -- WSAPoll behind Poller.
#include "platform/poller.h"

#include "platform/poller_events.h"
#include "platform/wake_event.h"
#include "platform/winsock_headers.h"

namespace kestrane {

namespace {

using poller_events::kRead;
using poller_events::kWrite;

// The poll set of the calling thread's last wait, kept so that waiting allocates nothing.
// WSAPoll refuses invalid sockets, so only valid ones go in; `slots` maps each entry to its
// place in the set, or -1.
thread_local std::vector<WSAPOLLFD> pollSet;
thread_local std::vector<int> slots;

}  // namespace

// WSAPoll keeps nothing between waits.
struct Poller::KernelSet {};

// Here rather than with the shared parts: they need the KernelSet above complete.
Poller::Poller() = default;
Poller::~Poller() = default;
Poller::Poller(Poller&&) noexcept = default;
Poller& Poller::operator=(Poller&&) noexcept = default;

int Poller::wait(int timeoutMs) {
    pollSet.clear();
    slots.clear();
    for (const Entry& entry : entries_) {
        slots.push_back(entry.fd >= 0 ? static_cast<int>(pollSet.size()) : -1);
        if (entry.fd >= 0) {
            pollSet.push_back({toSocket(entry.fd), static_cast<short>(entry.events), 0});
        }
    }
    const bool watchWake = wake_ != nullptr && wake_->fd() >= 0;
    if (watchWake) {
        pollSet.push_back({toSocket(wake_->fd()), kRead, 0});
    }
    int ready = 0;
    if (pollSet.empty()) {
        // Nothing to watch: WSAPoll would refuse the empty set, so the wait is a sleep.
        Sleep(timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    } else {
        ready = WSAPoll(pollSet.data(), static_cast<ULONG>(pollSet.size()), timeoutMs);
    }
    woken_ = false;
    int socketsReady = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        entries_[i].revents = (ready > 0 && slots[i] >= 0)
                                  ? static_cast<std::uint16_t>(pollSet[static_cast<std::size_t>(slots[i])].revents)
                                  : 0;
        socketsReady += entries_[i].revents != 0 ? 1 : 0;
    }
    if (watchWake && ready > 0) {
        woken_ = (pollSet.back().revents & kRead) != 0;
    }
    return socketsReady;
}

Readiness Poller::readiness(std::size_t index) const {
    const Entry& entry = entries_.at(index);
    const std::uint32_t revents = entry.revents;
    Readiness result;
    // A closed peer shows as a hang-up alone; the socket is readable then (a read sees the end).
    result.readable = (revents & kRead) != 0 || ((entry.events & kRead) != 0 && (revents & POLLHUP) != 0);
    result.writable = (revents & kWrite) != 0;
    result.failed = (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
    return result;
}

}  // namespace kestrane
