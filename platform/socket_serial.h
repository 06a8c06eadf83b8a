// socket_serial.h -- numbers that tell one socket from another that got the same descriptor.
#pragma once

#include <atomic>
#include <cstdint>

namespace kestrane {

// A number no other socket or wake event of this process has had (never 0). The system hands
// a closed descriptor's number to the next socket it opens; a poller that keeps its sockets
// registered between waits tells the two apart by this.
inline std::uint64_t nextSocketSerial() {
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace kestrane
