// wake_event_windows.cpp -- a loopback datagram socket pair: a datagram signals, draining resets.
// Winsock waits on sockets only, so the event is a socket that WSAPoll can watch with the rest.
#include "platform/wake_event.h"

#include "platform/socket_address.h"
#include "platform/socket_library.h"
#include "platform/winsock_headers.h"

namespace kestrane {

namespace {

SOCKET openDatagramSocket() {
    SOCKET s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    u_long nonBlocking = 1;
    if (s != INVALID_SOCKET && ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        closesocket(s);
        s = INVALID_SOCKET;
    }
    return s;
}

}  // namespace

WakeEvent::WakeEvent() {
    if (!startSocketLibrary()) {
        return;
    }
    const SOCKET reader = openDatagramSocket();
    const SOCKET writer = openDatagramSocket();
    sockaddr_in local = toSockaddr(Ipv4Address::loopback(), 0);
    int size = sizeof local;
    if (reader == INVALID_SOCKET || writer == INVALID_SOCKET ||
        ::bind(reader, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        getsockname(reader, reinterpret_cast<sockaddr*>(&local), &size) != 0 ||
        ::connect(writer, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        if (reader != INVALID_SOCKET) closesocket(reader);
        if (writer != INVALID_SOCKET) closesocket(writer);
        return;
    }
    readFd_ = fromSocket(reader);
    writeFd_ = fromSocket(writer);
}

WakeEvent::~WakeEvent() {
    if (readFd_ >= 0) closesocket(toSocket(readFd_));
    if (writeFd_ >= 0) closesocket(toSocket(writeFd_));
}

void WakeEvent::signal() {
    // One datagram keeps the reader readable until reset() drains it; a full buffer means
    // it is signalled already.
    const char byte = 1;
    ::send(toSocket(writeFd_), &byte, 1, 0);
}

void WakeEvent::reset() {
    char bytes[64];
    while (::recv(toSocket(readFd_), bytes, sizeof bytes, 0) > 0) {
    }
}

bool WakeEvent::signalled() const {
    WSAPOLLFD entry{toSocket(readFd_), POLLRDNORM, 0};
    return readFd_ >= 0 && WSAPoll(&entry, 1, 0) > 0;
}

bool WakeEvent::wait(int timeoutMs, int socketFd) const {
    WSAPOLLFD entries[2] = {{toSocket(readFd_), POLLRDNORM, 0}, {toSocket(socketFd), POLLRDNORM, 0}};
    const ULONG count = socketFd >= 0 ? 2 : 1;
    if (readFd_ < 0 || WSAPoll(entries, count, timeoutMs) <= 0) {
        return false;
    }
    return (entries[0].revents & POLLRDNORM) != 0;
}

}  // namespace kestrane
