// timestamped_output.cpp -- time stamps from the system clock in local time.
#include "platform/timestamped_output.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace kestrane {

std::string localTimestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    char withMillis[40];
    std::snprintf(withMillis, sizeof withMillis, "%s.%03d", stamp, static_cast<int>(millis));
    return withMillis;
}

void printTimestampedLine(std::string_view text) {
    std::string line = localTimestamp();
    line += ' ';
    line += text;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

}  // namespace kestrane
