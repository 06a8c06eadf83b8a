// tcp_socket_windows.cpp -- Winsock 2.2 behind TcpSocket.
#include "platform/tcp_socket.h"
#include "platform/socket_address.h"
#include "platform/socket_library.h"

#include <iphlpapi.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/poller.h"

namespace kestrane {

namespace {

// Started once for the process and left running until it ends: Windows cleans up after it.
bool winsockStarted() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data{};
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return started;
}

// Winsock has no MSG_DONTWAIT, and a socket's mode cannot be read back. So every socket is
// non-blocking underneath, and a call on a socket the caller made blocking (nonBlocking_
// false) waits for readiness and tries again. The waits are short and repeated, so a wait
// also ends when another thread shuts the socket down (which a poll may not report).
constexpr int kBlockingWaitSliceMs = 100;

bool makeNonBlocking(SOCKET s) {
    u_long on = 1;
    return s != INVALID_SOCKET && ioctlsocket(s, FIONBIO, &on) == 0;
}

bool wouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }

// Waits a slice for the socket, keeping the error of the call that would have blocked.
void waitASlice(const TcpSocket& socket, bool forWriting) {
    const int error = WSAGetLastError();
    waitForSocket(socket, forWriting, kBlockingWaitSliceMs);
    WSASetLastError(error);
}

}  // namespace

bool startSocketLibrary() { return winsockStarted(); }

std::vector<InterfaceAddressRow> interfaceAddressTable() {
    std::vector<InterfaceAddressRow> rows;
    // The table's size first, then the table.
    ULONG size = 0;
    if (GetIpAddrTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size == 0) {
        return rows;
    }
    std::vector<std::uint8_t> buffer(size);
    auto* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data());
    if (GetIpAddrTable(table, &size, FALSE) != NO_ERROR) {
        return rows;
    }
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        rows.push_back({table->table[i].dwAddr, table->table[i].dwMask});
    }
    return rows;
}

std::vector<Ipv4Address> localInterfaceAddresses() {
    std::vector<Ipv4Address> addresses;
    for (const InterfaceAddressRow& row : interfaceAddressTable()) {
        in_addr raw{};
        raw.s_addr = row.address;
        const Ipv4Address address = fromInAddr(raw);
        if (!address.isLoopback() && address != Ipv4Address{}) {
            addresses.push_back(address);
        }
    }
    return addresses;
}

bool setIntOption(int fd, int level, int name, int value) {
    return setsockopt(toSocket(fd), level, name, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

SocketError lastSocketError() {
    switch (WSAGetLastError()) {
        case 0: return SocketError::None;
        case WSAEWOULDBLOCK:
        case WSAEINTR:
        case WSAEINPROGRESS:
        case WSAEALREADY:
            return SocketError::WouldBlock;
        case WSAECONNABORTED: return SocketError::ConnectionAborted;
        case WSAECONNRESET:
        case WSAENETRESET:
        case WSAESHUTDOWN:
        case WSAENOTCONN:
        case WSAETIMEDOUT:
            return SocketError::PeerGone;
        case WSAEMFILE:
        case WSAENOBUFS:
        case WSA_NOT_ENOUGH_MEMORY:
            return SocketError::OutOfResources;
        default: return SocketError::Other;
    }
}

TcpSocket TcpSocket::openStream() {
    if (!winsockStarted()) {
        return TcpSocket();
    }
    // Not inherited by programs this one starts, as SOCK_CLOEXEC does on POSIX.
    SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s != INVALID_SOCKET && !makeNonBlocking(s)) {
        closesocket(s);
        s = INVALID_SOCKET;
    }
    return TcpSocket(fromSocket(s));
}

// Winsock has no socketpair: a listener on loopback takes one connection and goes away.
std::optional<std::array<TcpSocket, 2>> TcpSocket::pair() {
    TcpSocket listener = openStream();
    if (!listener.valid() || !listener.bindAndListen(0, 1, Ipv4Address::loopback())) {
        return std::nullopt;
    }
    TcpSocket first = openStream();
    if (!first.valid() || first.connect(Ipv4Address::loopback(), listener.localPort()) != ConnectStatus::Connected) {
        return std::nullopt;
    }
    TcpSocket second = listener.accept();
    if (!second.valid()) {
        return std::nullopt;
    }
    return std::array<TcpSocket, 2>{std::move(first), std::move(second)};
}

void TcpSocket::close() {
    if (fd_ >= 0) {
        ::closesocket(toSocket(fd_));
        fd_ = -1;
    }
}

void TcpSocket::shutdown() {
    if (fd_ >= 0) {
        ::shutdown(toSocket(fd_), SD_BOTH);
    }
}

bool TcpSocket::setNonBlocking(bool on) {
    if (!valid()) {
        return false;
    }
    nonBlocking_ = on;  // the socket itself always is
    return true;
}

// Windows binds a listener over connections in TIME_WAIT without being asked, and its
// SO_REUSEADDR would let a second program take a port that is listened on: leave it unset.
bool TcpSocket::setReuseAddress(bool) { return valid(); }

bool TcpSocket::bindAndListen(std::uint16_t port, int backlog, std::optional<Ipv4Address> address) {
    sockaddr_in local = toSockaddr(address.value_or(Ipv4Address{}), port);
    if (!address) {
        local.sin_addr.s_addr = htonl(INADDR_ANY);
    }
    // No other program may bind this port while we listen (SO_EXCLUSIVEADDRUSE).
    setIntOption(fd_, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, 1);
    const SOCKET s = toSocket(fd_);
    return ::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 && ::listen(s, backlog) == 0;
}

std::uint16_t TcpSocket::localPort() const {
    sockaddr_in local{};
    int size = sizeof local;
    if (getsockname(toSocket(fd_), reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        return 0;
    }
    return ntohs(local.sin_port);
}

std::optional<Ipv4Address> TcpSocket::peerAddress() const {
    sockaddr_in peer{};
    int size = sizeof peer;
    if (getpeername(toSocket(fd_), reinterpret_cast<sockaddr*>(&peer), &size) != 0 || peer.sin_family != AF_INET) {
        return std::nullopt;
    }
    return fromInAddr(peer.sin_addr);
}

bool TcpSocket::bindLocal(Ipv4Address address) {
    const sockaddr_in local = toSockaddr(address, 0);
    return ::bind(toSocket(fd_), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

TcpSocket TcpSocket::accept() const {
    for (;;) {
        sockaddr_in peer{};
        int size = sizeof peer;
        const SOCKET accepted = ::accept(toSocket(fd_), reinterpret_cast<sockaddr*>(&peer), &size);
        if (accepted != INVALID_SOCKET) {
            SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
            makeNonBlocking(accepted);  // as POSIX, the new socket is blocking for its caller
            return TcpSocket(fromSocket(accepted));
        }
        if (nonBlocking_ || !wouldBlock()) {
            return TcpSocket();
        }
        waitASlice(*this, /*forWriting=*/false);
    }
}

ConnectStatus TcpSocket::connect(Ipv4Address address, std::uint16_t port) {
    const sockaddr_in remote = toSockaddr(address, port);
    if (::connect(toSocket(fd_), reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) {
        return ConnectStatus::Connected;
    }
    // A connect under way answers WSAEWOULDBLOCK here, not EINPROGRESS.
    const int error = WSAGetLastError();
    if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS) {
        return ConnectStatus::Failed;
    }
    if (nonBlocking_) {
        return ConnectStatus::InProgress;
    }
    ConnectStatus status = ConnectStatus::InProgress;
    while (status == ConnectStatus::InProgress) {
        status = checkConnect(kBlockingWaitSliceMs);
    }
    return status;
}

ConnectStatus TcpSocket::checkConnect(int timeoutMs) const {
    const Readiness ready = waitForSocket(*this, /*forWriting=*/true, timeoutMs);
    if (!ready.any()) {
        return ConnectStatus::InProgress;
    }
    int error = 0;
    int size = sizeof error;
    if (getsockopt(toSocket(fd_), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0 || error != 0 ||
        (ready.failed && !ready.writable)) {
        return ConnectStatus::Failed;
    }
    return ConnectStatus::Connected;
}

std::optional<std::size_t> TcpSocket::bytesWaiting() const {
    u_long count = 0;
    if (ioctlsocket(toSocket(fd_), FIONREAD, &count) != 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(count);
}

PeerStatus TcpSocket::probePeer() const {
    // A peek that does not wait. Unlike a readiness wait, it also sees this end's own
    // shutdown (WSAESHUTDOWN).
    char byte = 0;
    const int result = ::recv(toSocket(fd_), &byte, 1, MSG_PEEK);
    const int error = WSAGetLastError();
    if (result > 0) {
        return PeerStatus::Open;
    }
    if (result == 0) {
        return PeerStatus::Closed;
    }
    return error == WSAEWOULDBLOCK ? PeerStatus::Open : PeerStatus::Failed;
}

long TcpSocket::receive(std::span<std::uint8_t> buffer, bool dontWait) {
    const int length = static_cast<int>(std::min<std::size_t>(buffer.size(), 1u << 30));
    for (;;) {
        receiveCalls_.fetch_add(1, std::memory_order_relaxed);
        const int got = ::recv(toSocket(fd_), reinterpret_cast<char*>(buffer.data()), length, 0);
        if (got != SOCKET_ERROR) {
            return got;
        }
        if (dontWait || nonBlocking_ || !wouldBlock()) {
            return -1;
        }
        waitASlice(*this, /*forWriting=*/false);
    }
}

// Windows raises no signal for a send to a closed connection. A blocking send takes all the
// bytes, as POSIX's does.
long TcpSocket::send(std::span<const std::uint8_t> bytes, bool dontWait) {
    const bool waits = !dontWait && !nonBlocking_;
    long total = 0;
    while (!bytes.empty()) {
        const int length = static_cast<int>(std::min<std::size_t>(bytes.size(), 1u << 30));
        const int sent = ::send(toSocket(fd_), reinterpret_cast<const char*>(bytes.data()), length, 0);
        if (sent == SOCKET_ERROR) {
            if (!waits || !wouldBlock()) {
                return total > 0 ? total : -1;
            }
            waitASlice(*this, /*forWriting=*/true);
            continue;
        }
        total += sent;
        bytes = bytes.subspan(static_cast<std::size_t>(sent));
        if (!waits) {
            break;
        }
    }
    return total;
}

long TcpSocket::sendPieces(std::span<const std::span<const std::uint8_t>> pieces, bool dontWait) {
    if (!dontWait && !nonBlocking_) {
        // A blocking send takes each piece whole, so piece by piece is the same stream.
        long total = 0;
        for (const std::span<const std::uint8_t> piece : pieces.first(std::min(pieces.size(), kMaxSendPieces))) {
            const long sent = send(piece);
            if (sent < 0) {
                return total > 0 ? total : -1;
            }
            total += sent;
        }
        return total;
    }
    std::array<WSABUF, kMaxSendPieces> buffers{};
    DWORD count = 0;
    for (const std::span<const std::uint8_t> piece : pieces) {
        if (count == buffers.size()) {
            break;
        }
        if (!piece.empty()) {
            // WSASend never writes through buf; the cast only fits its declaration.
            buffers[count++] = WSABUF{static_cast<ULONG>(std::min<std::size_t>(piece.size(), 1u << 30)),
                                      reinterpret_cast<char*>(const_cast<std::uint8_t*>(piece.data()))};
        }
    }
    if (count == 0) {
        return 0;
    }
    DWORD sent = 0;
    if (::WSASend(toSocket(fd_), buffers.data(), count, &sent, 0, nullptr, nullptr) == SOCKET_ERROR) {
        return -1;
    }
    return static_cast<long>(sent);
}

}  // namespace kestrane
