// server_log.cpp -- the bounded, thread-safe State log.
#include "server/server_log.h"

#include "platform/text_encoding.h"

namespace kestrane {

void ServerLog::logLine(std::string_view text) {
    std::lock_guard lock(mutex_);
    if (lines_.size() >= kMaxLines) {
        lines_.pop_front();
    }
    lines_.emplace_back(text);
    ++revision_;
    if (listener_) {
        listener_(lines_.back());
    }
}

void ServerLog::clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
    ++revision_;
}

std::vector<std::string> ServerLog::lines() const {
    std::lock_guard lock(mutex_);
    return {lines_.begin(), lines_.end()};
}

std::size_t ServerLog::size() const {
    std::lock_guard lock(mutex_);
    return lines_.size();
}

std::uint64_t ServerLog::revision() const {
    std::lock_guard lock(mutex_);
    return revision_;
}

void ServerLog::visitLines(
    const std::function<void(const std::deque<std::string>&, std::uint64_t)>& visit) const {
    std::lock_guard lock(mutex_);
    visit(lines_, revision_);
}

void ServerLog::setListener(Listener listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

std::string logName(std::string_view cp949Name) {
    std::string text = cp949ToUtf8(cp949Name);
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = '?';
        }
    }
    return text;
}

}  // namespace kestrane
