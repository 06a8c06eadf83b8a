// poller_events.h -- the readiness flags a Poller entry asks for, in the system's own bits; for
// platform/ alone.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include "platform/winsock_headers.h"
#else
#include <sys/epoll.h>
#endif

namespace kestrane::poller_events {

#ifdef _WIN32
// WSAPoll's flags.
constexpr short kRead = POLLRDNORM;
constexpr short kWrite = POLLWRNORM;
constexpr short kDatagramRead = POLLRDNORM;
#else
// epoll's flags, which are poll's bits too (poller.cpp checks).
constexpr std::uint32_t kRead = EPOLLIN | EPOLLRDHUP;
constexpr std::uint32_t kWrite = EPOLLOUT;
constexpr std::uint32_t kDatagramRead = EPOLLIN;
#endif

}  // namespace kestrane::poller_events
