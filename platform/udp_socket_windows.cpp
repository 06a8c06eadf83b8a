// udp_socket_windows.cpp -- Winsock datagram sockets behind UdpSocket, and the interfaces'
// broadcast addresses.
#include "platform/udp_socket.h"
#include "platform/socket_address.h"
#include "platform/socket_library.h"

#include <algorithm>

// Not in every SDK's headers; the value is Windows' own.
#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace kestrane {

namespace {

sockaddr_in toSockaddr(const Endpoint& endpoint) { return toSockaddr(endpoint.address, endpoint.port); }

}  // namespace

UdpSocket UdpSocket::open() {
    if (!startSocketLibrary()) {
        return UdpSocket();
    }
    SOCKET s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    u_long nonBlocking = 1;
    if (s != INVALID_SOCKET && ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        closesocket(s);
        s = INVALID_SOCKET;
    }
    if (s != INVALID_SOCKET) {
        // Without this, an ICMP "port unreachable" for an earlier datagram fails the next
        // receive with WSAECONNRESET; POSIX datagram sockets never report it.
        BOOL report = FALSE;
        DWORD returned = 0;
        WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
    }
    return UdpSocket(fromSocket(s));
}

void UdpSocket::close() {
    if (fd_ >= 0) {
        closesocket(toSocket(fd_));
        fd_ = -1;
    }
}

bool UdpSocket::bind(std::uint16_t port, std::optional<Ipv4Address> address) {
    sockaddr_in local = toSockaddr({address.value_or(Ipv4Address{}), port});
    if (!address) {
        local.sin_addr.s_addr = htonl(INADDR_ANY);
    }
    return ::bind(toSocket(fd_), reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

std::uint16_t UdpSocket::localPort() const {
    sockaddr_in local{};
    int size = sizeof local;
    if (getsockname(toSocket(fd_), reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        return 0;
    }
    return ntohs(local.sin_port);
}

bool UdpSocket::sendTo(std::span<const std::uint8_t> bytes, const Endpoint& to) {
    const sockaddr_in remote = toSockaddr(to);
    const int sent = ::sendto(toSocket(fd_), reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0,
                              reinterpret_cast<const sockaddr*>(&remote), sizeof remote);
    return sent == static_cast<int>(bytes.size());
}

UdpReceive UdpSocket::receiveFrom(std::span<std::uint8_t> buffer) {
    UdpReceive result;
    sockaddr_in peer{};
    int peerSize = sizeof peer;
    // Winsock has no MSG_TRUNC: an oversized datagram fails with WSAEMSGSIZE after filling the
    // buffer, and its full size is not told. It counts as one byte more than the buffer.
    const int got = ::recvfrom(toSocket(fd_), reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()), 0,
                               reinterpret_cast<sockaddr*>(&peer), &peerSize);
    if (got == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        if (error != WSAEMSGSIZE) {
            result.status = error == WSAEWOULDBLOCK ? UdpReceive::Status::Empty : UdpReceive::Status::Failed;
            return result;
        }
        result.size = buffer.size() + 1;
    } else {
        result.size = static_cast<std::size_t>(got);
    }
    result.status = UdpReceive::Status::Datagram;
    result.truncated = result.size > buffer.size();
    result.from = {fromInAddr(peer.sin_addr), ntohs(peer.sin_port)};
    return result;
}

bool UdpSocket::waitReadable(int timeoutMs) const {
    WSAPOLLFD entry{toSocket(fd_), POLLRDNORM, 0};
    return fd_ >= 0 && WSAPoll(&entry, 1, timeoutMs) > 0 && (entry.revents & POLLRDNORM) != 0;
}

std::vector<Ipv4Address> localBroadcastAddresses() {
    std::vector<Ipv4Address> addresses;
    for (const InterfaceAddressRow& row : interfaceAddressTable()) {
        in_addr raw{};
        raw.s_addr = row.address;
        const Ipv4Address address = fromInAddr(raw);
        if (address.isLoopback() || address == Ipv4Address{} || row.mask == 0 || row.mask == 0xFFFFFFFFu) {
            continue;
        }
        // The table's broadcast field holds only the low bit; the address is made from the mask.
        in_addr broadcast{};
        broadcast.s_addr = row.address | ~row.mask;
        const Ipv4Address result = fromInAddr(broadcast);
        if (std::find(addresses.begin(), addresses.end(), result) == addresses.end()) {
            addresses.push_back(result);
        }
    }
    return addresses;
}

}  // namespace kestrane
