// timestamped_output.cpp -- time stamps from the system clock in local time.
#include "platform/timestamped_output.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace kestrane {

std::tm localCalendarTime(std::time_t seconds) {
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &seconds);
#else
    localtime_r(&seconds, &parts);
#endif
    return parts;
}

std::tm utcCalendarTime(std::time_t seconds) {
    std::tm parts{};
#ifdef _WIN32
    gmtime_s(&parts, &seconds);
#else
    gmtime_r(&seconds, &parts);
#endif
    return parts;
}

std::string localTimestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    const std::tm local = localCalendarTime(seconds);
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
