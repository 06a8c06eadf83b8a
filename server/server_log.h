// server_log.h -- the server's State log: the lines the console shows and headless mode prints.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

// Lines in the order they were written. Texts are UTF-8: code page 949 names are converted
// before they get here (see logName).
// Thread-safety: every member may be called from any thread. The listener runs on the
// writing thread, inside the log's lock, so lines reach it in log order.
class ServerLog {
public:
    // The oldest lines give way beyond this many, so a client flooding the server with bad
    // packets cannot make the console eat all memory.
    static constexpr std::size_t kMaxLines = 100'000;

    using Listener = std::function<void(std::string_view line)>;

    // Appends one line; it becomes the newest.
    void logLine(std::string_view text);
    // Empties the log (the console's Clear); later lines start again at the top.
    void clear();

    std::vector<std::string> lines() const;
    std::size_t size() const;
    // Grows with every change (a line written, or Clear); the console redraws when it moves.
    std::uint64_t revision() const;

    // Calls `visit` with the lines and the revision they are at, holding the lock: keep it
    // short (writers wait) and call nothing of the log from it.
    void visitLines(const std::function<void(const std::deque<std::string>&, std::uint64_t)>& visit) const;

    // Called with every line as it is written (headless mode prints it). Set before the
    // server's threads start.
    void setListener(Listener listener);

private:
    mutable std::mutex mutex_;
    std::deque<std::string> lines_;
    std::uint64_t revision_ = 0;
    Listener listener_;
};

// A player name as it travels (code page 949, NUL-terminated, at most 20 bytes) made fit
// for a log line or the screen: UTF-8, with control characters shown as '?', so a name
// cannot move the cursor or colour the operator's terminal.
std::string logName(std::string_view cp949Name);

}  // namespace kestrane
