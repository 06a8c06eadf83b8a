// udp_socket.cpp -- POSIX datagram sockets behind UdpSocket, and the interfaces' broadcast addresses.
#include "platform/udp_socket.h"
#include "platform/socket_address.h"

#include <arpa/inet.h>
#include <cerrno>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace kestrane {

namespace {

sockaddr_in toSockaddr(const Endpoint& endpoint) { return toSockaddr(endpoint.address, endpoint.port); }

}  // namespace

UdpSocket UdpSocket::open() { return UdpSocket(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)); }

void UdpSocket::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool UdpSocket::bind(std::uint16_t port, std::optional<Ipv4Address> address) {
    sockaddr_in local = toSockaddr({address.value_or(Ipv4Address{}), port});
    if (!address) {
        local.sin_addr.s_addr = htonl(INADDR_ANY);
    }
    return ::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

std::uint16_t UdpSocket::localPort() const {
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        return 0;
    }
    return ntohs(local.sin_port);
}

bool UdpSocket::sendTo(std::span<const std::uint8_t> bytes, const Endpoint& to) {
    const sockaddr_in remote = toSockaddr(to);
    long sent = 0;
    do {
        sent = ::sendto(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&remote),
                        sizeof remote);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<long>(bytes.size());
}

UdpReceive UdpSocket::receiveFrom(std::span<std::uint8_t> buffer) {
    UdpReceive result;
    sockaddr_in peer{};
    socklen_t peerSize = sizeof peer;
    long got = 0;
    do {
        // MSG_TRUNC: the answer is the datagram's real size, so an oversized one is known.
        got = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC,
                         reinterpret_cast<sockaddr*>(&peer), &peerSize);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        result.status = (errno == EAGAIN || errno == EWOULDBLOCK) ? UdpReceive::Status::Empty
                                                                  : UdpReceive::Status::Failed;
        return result;
    }
    result.status = UdpReceive::Status::Datagram;
    result.size = static_cast<std::size_t>(got);
    result.truncated = result.size > buffer.size();
    result.from = {fromInAddr(peer.sin_addr), ntohs(peer.sin_port)};
    return result;
}

bool UdpSocket::waitReadable(int timeoutMs) const {
    pollfd entry{fd_, POLLIN, 0};
    return ::poll(&entry, 1, timeoutMs) > 0 && (entry.revents & POLLIN) != 0;
}

std::vector<Ipv4Address> localBroadcastAddresses() {
    std::vector<Ipv4Address> addresses;
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) {
        return addresses;
    }
    for (const ifaddrs* at = interfaces; at != nullptr; at = at->ifa_next) {
        const unsigned flags = at->ifa_flags;
        if (at->ifa_addr == nullptr || at->ifa_addr->sa_family != AF_INET || (flags & IFF_UP) == 0 ||
            (flags & IFF_LOOPBACK) != 0 || (flags & IFF_BROADCAST) == 0 || at->ifa_broadaddr == nullptr ||
            at->ifa_broadaddr->sa_family != AF_INET) {
            continue;
        }
        const Ipv4Address address = fromInAddr(reinterpret_cast<const sockaddr_in*>(at->ifa_broadaddr)->sin_addr);
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end()) {
            addresses.push_back(address);
        }
    }
    freeifaddrs(interfaces);
    return addresses;
}

}  // namespace kestrane
