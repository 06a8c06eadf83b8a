// poller.cpp -- poll(2) behind Poller.
#include "platform/poller.h"

#include <poll.h>

#include "platform/tcp_socket.h"
#include "platform/udp_socket.h"
#include "platform/wake_event.h"

namespace kestrane {

namespace {

constexpr short kReadEvents = POLLIN | POLLRDHUP;

// The poll set of the calling thread's last wait, kept so that waiting allocates nothing.
thread_local std::vector<pollfd> pollSet;

}  // namespace

void Poller::clear() {
    entries_.clear();
    wake_ = nullptr;
    woken_ = false;
}

std::size_t Poller::add(const TcpSocket& socket, bool forWriting) {
    const short events = static_cast<short>(kReadEvents | (forWriting ? POLLOUT : 0));
    entries_.push_back({socket.fd(), events, 0});
    return entries_.size() - 1;
}

std::size_t Poller::addForWriting(const TcpSocket& socket) {
    entries_.push_back({socket.fd(), POLLOUT, 0});
    return entries_.size() - 1;
}

std::size_t Poller::add(const UdpSocket& socket) {
    entries_.push_back({socket.fd(), POLLIN, 0});
    return entries_.size() - 1;
}

int Poller::wait(int timeoutMs) {
    pollSet.clear();
    for (const Entry& entry : entries_) {
        pollSet.push_back({entry.fd, entry.events, 0});
    }
    if (wake_ != nullptr) {
        pollSet.push_back({wake_->fd(), POLLIN, 0});
    }
    const int ready = ::poll(pollSet.data(), pollSet.size(), timeoutMs);
    woken_ = false;
    int socketsReady = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        entries_[i].revents = ready > 0 ? pollSet[i].revents : 0;
        socketsReady += entries_[i].revents != 0 ? 1 : 0;
    }
    if (wake_ != nullptr && ready > 0) {
        woken_ = (pollSet.back().revents & POLLIN) != 0;
    }
    return socketsReady;
}

Readiness Poller::readiness(std::size_t index) const {
    const short revents = entries_.at(index).revents;
    Readiness result;
    result.readable = (revents & kReadEvents) != 0;
    result.writable = (revents & POLLOUT) != 0;
    result.failed = (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
    return result;
}

Readiness waitForSocket(const TcpSocket& socket, bool forWriting, int timeoutMs) {
    Poller poller;
    const std::size_t index = forWriting ? poller.addForWriting(socket) : poller.add(socket);
    poller.wait(timeoutMs);
    return poller.readiness(index);
}

}  // namespace kestrane
