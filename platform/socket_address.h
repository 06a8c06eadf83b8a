// socket_address.h -- between our addresses and the system's socket API's; for platform/ alone.
#pragma once

#ifdef _WIN32
#include "platform/winsock_headers.h"
#else
#include <netinet/in.h>
#endif

#include <cstdint>
#include <vector>

#include "platform/tcp_socket.h"

namespace kestrane {

sockaddr_in toSockaddr(const Ipv4Address& address, std::uint16_t port);
Ipv4Address fromInAddr(const in_addr& address);
// setsockopt with an int value; true on success.
bool setIntOption(int fd, int level, int name, int value);

#ifdef _WIN32
// One row of the system's IPv4 address table: an interface's address and mask, in network order.
struct InterfaceAddressRow {
    std::uint32_t address;
    std::uint32_t mask;
};
// The system's IPv4 address table, every row; empty when it cannot be read.
std::vector<InterfaceAddressRow> interfaceAddressTable();
#endif

}  // namespace kestrane
