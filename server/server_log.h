// server_log.h -- the server's State log: the lines the console shows and headless mode prints.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/line_log.h"

namespace kestrane {

// The State log: lines in the order they were written. Texts are UTF-8: code page 949 names
// are converted before they get here (see logName). Thread-safe as LineLog; the listener
// (headless mode prints each line) is set before the server's threads start, and the console
// redraws when revision() moves.
class ServerLog : public LineLog {
public:
    // The oldest lines give way beyond this many, so a client flooding the server with bad
    // packets cannot make the console eat all memory.
    static constexpr std::size_t kMaxLines = 100'000;

    ServerLog() : LineLog(kMaxLines) {}

    // Appends one line; it becomes the newest. clear() is the console's Clear.
    void logLine(std::string_view text) { append(text); }
};

// A player name as it travels (code page 949, NUL-terminated, at most 20 bytes) made fit
// for a log line or the screen: UTF-8, with control characters shown as '?', so a name
// cannot move the cursor or colour the operator's terminal.
std::string logName(std::string_view cp949Name);

}  // namespace kestrane
