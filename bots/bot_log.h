// bot_log.h -- the bot program's log: one line per event (joins, respawns, errors), from any thread.
#pragma once

#include "common/line_log.h"

namespace kestrane {

// Lines are UTF-8. Thread-safe: bots on several threads write to one log.
class BotLog : public LineLog {
public:
    // Lines kept for lines(); older ones are forgotten (a long run writes many).
    static constexpr std::size_t kKeptLines = 10000;

    // Where lines go as they are written (the program prints them); without one they are only kept.
    explicit BotLog(Listener listener = {}) : LineLog(kKeptLines, std::move(listener)) {}

    void line(std::string_view text) { append(text); }
};

}  // namespace kestrane
