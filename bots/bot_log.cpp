// bot_log.cpp -- keeping and passing on log lines under one lock.
#include "bots/bot_log.h"

namespace kestrane {

void BotLog::line(std::string_view text) {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(text);
    if (lines_.size() > kKeptLines) {
        lines_.pop_front();
    }
    if (listener_) {
        listener_(text);
    }
}

std::vector<std::string> BotLog::lines() const {
    std::lock_guard lock(mutex_);
    return {lines_.begin(), lines_.end()};
}

}  // namespace kestrane
