// winsock_headers.h -- Winsock 2 and the Windows API, included the one way platform/ needs them.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// winsock2.h before windows.h, or windows.h pulls in the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

namespace kestrane {

// Our sockets keep their handle in an int, as the POSIX build keeps its descriptor: Windows
// socket handles are small kernel handle values, and INVALID_SOCKET becomes -1.
inline SOCKET toSocket(int fd) { return fd < 0 ? INVALID_SOCKET : static_cast<SOCKET>(fd); }
inline int fromSocket(SOCKET socket) { return socket == INVALID_SOCKET ? -1 : static_cast<int>(socket); }

}  // namespace kestrane
