// udp_socket_common.cpp -- the parts of UdpSocket that are the same text on POSIX and Winsock.
#include "platform/udp_socket.h"
#include "platform/socket_address.h"

#ifndef _WIN32
#include <sys/socket.h>
#endif

#include <utility>

namespace kestrane {

namespace {

bool setFlag(int fd, int name, bool on) { return setIntOption(fd, SOL_SOCKET, name, on ? 1 : 0); }

}  // namespace

UdpSocket::~UdpSocket() { close(); }

UdpSocket::UdpSocket(UdpSocket&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), serial_(std::exchange(other.serial_, 0)) {}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        serial_ = std::exchange(other.serial_, 0);
    }
    return *this;
}

bool UdpSocket::setReuseAddress(bool on) { return setFlag(fd_, SO_REUSEADDR, on); }
bool UdpSocket::setBroadcast(bool on) { return setFlag(fd_, SO_BROADCAST, on); }

}  // namespace kestrane
