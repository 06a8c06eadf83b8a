// line_log.cpp -- keeping and passing on log lines under one lock.
#include "common/line_log.h"

namespace kestrane {

void LineLog::append(std::string_view text) {
    std::lock_guard lock(mutex_);
    if (lines_.size() >= maxLines_) {
        lines_.pop_front();
    }
    lines_.emplace_back(text);
    ++revision_;
    if (listener_) {
        listener_(lines_.back());
    }
}

void LineLog::clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
    ++revision_;
}

std::vector<std::string> LineLog::lines() const {
    std::lock_guard lock(mutex_);
    return {lines_.begin(), lines_.end()};
}

std::size_t LineLog::size() const {
    std::lock_guard lock(mutex_);
    return lines_.size();
}

std::uint64_t LineLog::revision() const {
    std::lock_guard lock(mutex_);
    return revision_;
}

void LineLog::visitLines(const std::function<void(const std::deque<std::string>&, std::uint64_t)>& visit) const {
    std::lock_guard lock(mutex_);
    visit(lines_, revision_);
}

void LineLog::setListener(Listener listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

}  // namespace kestrane
