// poller_common.cpp -- the parts of Poller that are the same on every system: building the set
// and the single-socket wait.
#include "platform/poller.h"

#include "platform/poller_events.h"
#include "platform/tcp_socket.h"
#include "platform/udp_socket.h"

namespace kestrane {

void Poller::clear() {
    entries_.clear();
    wake_ = nullptr;
    woken_ = false;
}

std::size_t Poller::add(const TcpSocket& socket, bool forWriting) {
    const auto events = static_cast<std::uint32_t>(poller_events::kRead | (forWriting ? poller_events::kWrite : 0));
    entries_.push_back({socket.fd(), socket.serial(), events, 0});
    return entries_.size() - 1;
}

std::size_t Poller::addForWriting(const TcpSocket& socket) {
    entries_.push_back({socket.fd(), socket.serial(), poller_events::kWrite, 0});
    return entries_.size() - 1;
}

std::size_t Poller::add(const UdpSocket& socket) {
    entries_.push_back({socket.fd(), socket.serial(), poller_events::kDatagramRead, 0});
    return entries_.size() - 1;
}

Readiness waitForSocket(const TcpSocket& socket, bool forWriting, int timeoutMs) {
    Poller poller;
    const std::size_t index = forWriting ? poller.addForWriting(socket) : poller.add(socket);
    poller.wait(timeoutMs);
    return poller.readiness(index);
}

}  // namespace kestrane
