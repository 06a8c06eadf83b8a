// socket_address.h -- between our addresses and the system's socket API's; for platform/ alone.
#pragma once

#ifdef _WIN32
#include "platform/winsock_headers.h"
#else
#include <netinet/in.h>
#endif

#include <cstdint>

#include "platform/tcp_socket.h"

namespace kestrane {

sockaddr_in toSockaddr(const Ipv4Address& address, std::uint16_t port);
Ipv4Address fromInAddr(const in_addr& address);
// setsockopt with an int value; true on success.
bool setIntOption(int fd, int level, int name, int value);

}  // namespace kestrane
