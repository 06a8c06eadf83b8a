// tcp_socket_common.cpp -- the parts of TcpSocket and of the address helpers that are the same
// text on POSIX and Winsock.
#include "platform/tcp_socket.h"
#include "platform/socket_address.h"
#include "platform/socket_library.h"

#ifdef _WIN32
#include "platform/winsock_headers.h"
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstring>
#include <utility>

#include "platform/poller.h"

namespace kestrane {

std::string Ipv4Address::toString() const {
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
           std::to_string(bytes[3]);
}

std::optional<Ipv4Address> resolveIpv4(std::string_view host) {
    const std::string name(host);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* results = nullptr;
    if (name.empty() || !startSocketLibrary() || getaddrinfo(name.c_str(), nullptr, &hints, &results) != 0 ||
        results == nullptr) {
        return std::nullopt;
    }
    Ipv4Address address;
    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(results->ai_addr);
    std::memcpy(address.bytes.data(), &ipv4->sin_addr, 4);
    freeaddrinfo(results);
    return address;
}

std::optional<std::string> localHostName() {
    char buffer[256] = {};
    if (!startSocketLibrary() || gethostname(buffer, sizeof buffer - 1) != 0) {
        return std::nullopt;
    }
    return std::string(buffer);
}

sockaddr_in toSockaddr(const Ipv4Address& address, std::uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    std::memcpy(&result.sin_addr, address.bytes.data(), 4);
    return result;
}

Ipv4Address fromInAddr(const in_addr& address) {
    Ipv4Address result;
    std::memcpy(result.bytes.data(), &address, 4);
    return result;
}

TcpSocket::~TcpSocket() { close(); }

TcpSocket::TcpSocket(TcpSocket&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      serial_(std::exchange(other.serial_, 0)),
      nonBlocking_(std::exchange(other.nonBlocking_, false)) {}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        serial_ = std::exchange(other.serial_, 0);
        nonBlocking_ = std::exchange(other.nonBlocking_, false);
    }
    return *this;
}

bool TcpSocket::setNoDelay(bool on) { return setIntOption(fd_, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0); }
bool TcpSocket::setSendBufferSize(int bytes) { return setIntOption(fd_, SOL_SOCKET, SO_SNDBUF, bytes); }
bool TcpSocket::setReceiveBufferSize(int bytes) { return setIntOption(fd_, SOL_SOCKET, SO_RCVBUF, bytes); }

bool TcpSocket::waitReadable(int timeoutMs) const {
    return waitForSocket(*this, /*forWriting=*/false, timeoutMs).any();
}

bool TcpSocket::sendAll(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const long sent = send(bytes);
        if (sent <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(sent));
    }
    return true;
}

}  // namespace kestrane
