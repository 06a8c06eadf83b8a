// line_log.h -- a bounded, thread-safe list of log lines passed on as they are written: the
// piece the server's State log and the bots' log share.
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

// Lines in the order they were written; beyond `maxLines` the oldest give way, so a long run
// or a flood of bad packets cannot eat all memory.
// Thread-safety: every member may be called from any thread. The listener runs on the
// writing thread, inside the log's lock, so lines reach it in log order; it must call
// nothing of the log.
class LineLog {
public:
    using Listener = std::function<void(std::string_view line)>;

    explicit LineLog(std::size_t maxLines, Listener listener = {})
        : maxLines_(maxLines), listener_(std::move(listener)) {}

    // Appends one line; it becomes the newest.
    void append(std::string_view text);
    // Empties the log; later lines start again at the top.
    void clear();

    std::vector<std::string> lines() const;
    std::size_t size() const;
    // Grows with every change (a line written, or a clear).
    std::uint64_t revision() const;

    // Calls `visit` with the lines and the revision they are at, holding the lock: keep it
    // short (writers wait) and call nothing of the log from it.
    void visitLines(const std::function<void(const std::deque<std::string>&, std::uint64_t)>& visit) const;

    void setListener(Listener listener);

private:
    const std::size_t maxLines_;
    mutable std::mutex mutex_;
    std::deque<std::string> lines_;
    std::uint64_t revision_ = 0;
    Listener listener_;
};

}  // namespace kestrane
