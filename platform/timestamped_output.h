// timestamped_output.h -- log lines on standard output for programs run without a window.
#pragma once

#include <string>
#include <string_view>

namespace kestrane {

// Local time to the millisecond: "YYYY-MM-DD HH:MM:SS.mmm".
std::string localTimestamp();

// Writes "<local time> <text>" as one line on stdout and flushes it at once, so a log read
// through a pipe or a file is never behind. Thread-safe (one write per line).
void printTimestampedLine(std::string_view text);

}  // namespace kestrane
