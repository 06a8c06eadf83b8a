// bot_log.h -- the bot program's log: one line per event (joins, respawns, errors), from any thread.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

// Lines are UTF-8. Thread-safe: bots on several threads write to one log.
class BotLog {
public:
    using Listener = std::function<void(std::string_view line)>;

    // Where lines go as they are written (the program prints them); without one they are only kept.
    explicit BotLog(Listener listener = {}) : listener_(std::move(listener)) {}

    // Lines kept for lines(); older ones are forgotten (a long run writes many).
    static constexpr std::size_t kKeptLines = 10000;

    void line(std::string_view text);
    // The latest lines written, oldest first (tests read them).
    std::vector<std::string> lines() const;

private:
    mutable std::mutex mutex_;
    Listener listener_;
    std::deque<std::string> lines_;  // the latest kKeptLines
};

}  // namespace kestrane
