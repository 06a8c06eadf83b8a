// socket_library.h -- starting the system's socket library before the first socket.
#pragma once

namespace kestrane {

// Starts the socket library for the whole process, asking for Winsock 2.2 on Windows (there is
// nothing to start elsewhere). True when sockets can be used. Any thread, any number of times:
// the first call does the work and later calls return its answer. Opening a socket starts it
// too; the programs call this first so that a failure gets its own message.
bool startSocketLibrary();

}  // namespace kestrane
