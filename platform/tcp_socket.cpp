// tcp_socket.cpp -- POSIX sockets behind TcpSocket.
#include "platform/tcp_socket.h"
#include "platform/socket_address.h"
#include "platform/socket_library.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include "platform/poller.h"

namespace kestrane {

// POSIX sockets need no library started.
bool startSocketLibrary() { return true; }

std::vector<Ipv4Address> localInterfaceAddresses() {
    std::vector<Ipv4Address> addresses;
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) {
        return addresses;
    }
    for (const ifaddrs* at = interfaces; at != nullptr; at = at->ifa_next) {
        if (at->ifa_addr == nullptr || at->ifa_addr->sa_family != AF_INET || (at->ifa_flags & IFF_UP) == 0 ||
            (at->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        Ipv4Address address;
        std::memcpy(address.bytes.data(), &reinterpret_cast<const sockaddr_in*>(at->ifa_addr)->sin_addr, 4);
        addresses.push_back(address);
    }
    freeifaddrs(interfaces);
    return addresses;
}

bool setIntOption(int fd, int level, int name, int value) {
    return setsockopt(fd, level, name, &value, sizeof value) == 0;
}

SocketError lastSocketError() {
    switch (errno) {
        case 0: return SocketError::None;
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
        case EINTR:
        case EINPROGRESS:
            return SocketError::WouldBlock;
        case ECONNABORTED: return SocketError::ConnectionAborted;
        case ECONNRESET:
        case EPIPE:
        case ENOTCONN:
        case ETIMEDOUT:
            return SocketError::PeerGone;
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
            return SocketError::OutOfResources;
        default: return SocketError::Other;
    }
}

TcpSocket TcpSocket::openStream() { return TcpSocket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)); }

std::optional<std::array<TcpSocket, 2>> TcpSocket::pair() {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        return std::nullopt;
    }
    return std::array<TcpSocket, 2>{TcpSocket(fds[0]), TcpSocket(fds[1])};
}

void TcpSocket::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void TcpSocket::shutdown() {
    if (fd_ >= 0) {
        ::shutdown(fd_, SHUT_RDWR);
    }
}

bool TcpSocket::setNonBlocking(bool on) {
    const int flags = fcntl(fd_, F_GETFL, 0);
    if (flags < 0) {
        return false;
    }
    if (fcntl(fd_, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) != 0) {
        return false;
    }
    nonBlocking_ = on;
    return true;
}

bool TcpSocket::setReuseAddress(bool on) { return setIntOption(fd_, SOL_SOCKET, SO_REUSEADDR, on ? 1 : 0); }

bool TcpSocket::bindAndListen(std::uint16_t port, int backlog, std::optional<Ipv4Address> address) {
    sockaddr_in local = toSockaddr(address.value_or(Ipv4Address{}), port);
    if (!address) {
        local.sin_addr.s_addr = htonl(INADDR_ANY);
    }
    return ::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 && ::listen(fd_, backlog) == 0;
}

std::uint16_t TcpSocket::localPort() const {
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        return 0;
    }
    return ntohs(local.sin_port);
}

std::optional<Ipv4Address> TcpSocket::peerAddress() const {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    if (getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &size) != 0 || peer.sin_family != AF_INET) {
        return std::nullopt;
    }
    Ipv4Address address;
    std::memcpy(address.bytes.data(), &peer.sin_addr.s_addr, address.bytes.size());
    return address;
}

bool TcpSocket::bindLocal(Ipv4Address address) {
    const sockaddr_in local = toSockaddr(address, 0);
    return ::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

TcpSocket TcpSocket::accept() const {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    int fd = -1;
    do {
        fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return TcpSocket(fd);
}

ConnectStatus TcpSocket::connect(Ipv4Address address, std::uint16_t port) {
    const sockaddr_in remote = toSockaddr(address, port);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) {
        return ConnectStatus::Connected;
    }
    return errno == EINPROGRESS ? ConnectStatus::InProgress : ConnectStatus::Failed;
}

ConnectStatus TcpSocket::checkConnect(int timeoutMs) const {
    if (!waitForSocket(*this, /*forWriting=*/true, timeoutMs).any()) {
        return ConnectStatus::InProgress;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
        return ConnectStatus::Failed;
    }
    return ConnectStatus::Connected;
}

std::optional<std::size_t> TcpSocket::bytesWaiting() const {
    int count = 0;
    if (ioctl(fd_, FIONREAD, &count) != 0 || count < 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(count);
}

PeerStatus TcpSocket::probePeer() const {
    if (!waitForSocket(*this, /*forWriting=*/false, 0).any()) {
        return PeerStatus::Open;
    }
    std::uint8_t byte = 0;
    long result = 0;
    do {
        result = ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    } while (result < 0 && errno == EINTR);
    if (result > 0) {
        return PeerStatus::Open;
    }
    if (result == 0) {
        return PeerStatus::Closed;
    }
    return (errno == EAGAIN || errno == EWOULDBLOCK) ? PeerStatus::Open : PeerStatus::Failed;
}

long TcpSocket::receive(std::span<std::uint8_t> buffer, bool dontWait) {
    long got = 0;
    do {
        receiveCalls_.fetch_add(1, std::memory_order_relaxed);
        got = ::recv(fd_, buffer.data(), buffer.size(), dontWait ? MSG_DONTWAIT : 0);
    } while (got < 0 && errno == EINTR);
    return got;
}

long TcpSocket::send(std::span<const std::uint8_t> bytes, bool dontWait) {
    long sent = 0;
    do {
        sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | (dontWait ? MSG_DONTWAIT : 0));
    } while (sent < 0 && errno == EINTR);
    return sent;
}

long TcpSocket::sendPieces(std::span<const std::span<const std::uint8_t>> pieces, bool dontWait) {
    std::array<iovec, kMaxSendPieces> vectors{};
    std::size_t count = 0;
    for (const std::span<const std::uint8_t> piece : pieces) {
        if (count == vectors.size()) {
            break;
        }
        if (!piece.empty()) {
            // sendmsg never writes through iov_base; the cast only fits its declaration.
            vectors[count++] = iovec{const_cast<std::uint8_t*>(piece.data()), piece.size()};
        }
    }
    if (count == 0) {
        return 0;
    }
    msghdr message{};
    message.msg_iov = vectors.data();
    message.msg_iovlen = count;
    long sent = 0;
    do {
        sent = ::sendmsg(fd_, &message, MSG_NOSIGNAL | (dontWait ? MSG_DONTWAIT : 0));
    } while (sent < 0 && errno == EINTR);
    return sent;
}

}  // namespace kestrane
