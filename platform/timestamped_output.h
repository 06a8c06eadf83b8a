// timestamped_output.h -- log lines on standard output for programs run without a window.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace kestrane {

// `seconds` as a calendar date and time of day: in the local time zone, or in UTC. Thread-safe.
std::tm localCalendarTime(std::time_t seconds);
std::tm utcCalendarTime(std::time_t seconds);

// Local time to the millisecond: "YYYY-MM-DD HH:MM:SS.mmm".
std::string localTimestamp();

// Writes "<local time> <text>" as one line on stdout and flushes it at once, so a log read
// through a pipe or a file is never behind. Thread-safe (one write per line).
void printTimestampedLine(std::string_view text);

}  // namespace kestrane
