// packet_queue.cpp -- a locked deque of packet records.
#include "common/packet_queue.h"

namespace kestrane {

void PacketQueue::push(const PacketRecord& record) {
    {
        std::lock_guard lock(mutex_);
        records_.push_back(record);
    }
    pushed_.notify_one();
    if (pushListener_) {
        pushListener_();
    }
}

void PacketQueue::pushAll(std::span<const PacketRecord> records) {
    if (records.empty()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        records_.insert(records_.end(), records.begin(), records.end());
    }
    pushed_.notify_one();
    if (pushListener_) {
        pushListener_();
    }
}

std::optional<PacketRecord> PacketQueue::front() const {
    std::lock_guard lock(mutex_);
    if (records_.empty()) {
        return std::nullopt;
    }
    return records_.front();
}

bool PacketQueue::popFront() {
    std::lock_guard lock(mutex_);
    if (records_.empty()) {
        return false;
    }
    records_.pop_front();
    return true;
}

std::optional<PacketRecord> PacketQueue::takeFront() {
    std::lock_guard lock(mutex_);
    if (records_.empty()) {
        return std::nullopt;
    }
    PacketRecord record = records_.front();
    records_.pop_front();
    return record;
}

bool PacketQueue::empty() const {
    std::lock_guard lock(mutex_);
    return records_.empty();
}

std::size_t PacketQueue::size() const {
    std::lock_guard lock(mutex_);
    return records_.size();
}

void PacketQueue::clear() {
    std::lock_guard lock(mutex_);
    records_.clear();
}

bool PacketQueue::waitUntilNotEmpty(std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock lock(mutex_);
    return pushed_.wait_until(lock, deadline, [this] { return !records_.empty(); });
}

void PacketQueue::setPushListener(std::function<void()> listener) { pushListener_ = std::move(listener); }

}  // namespace kestrane
