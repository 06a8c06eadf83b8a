// clock.cpp -- the system's monotonic clock, counted from program start.
#include "platform/clock.h"

#include <chrono>

namespace kestrane {

namespace {
const auto programStart = std::chrono::steady_clock::now();
}  // namespace

double secondsSinceStart() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - programStart).count();
}

}  // namespace kestrane
