// packet_queue.h -- the first-in, first-out hand-over of received packets between threads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>

#include "common/packet.h"

namespace kestrane {

// Records are held by value and owned by the queue; there is no bound.
// Thread-safety: every member may be called from any thread; the game uses one
// producing thread (the socket reader) and one consuming thread (the dispatcher or
// the server's worker). The consumer copies the front, processes the copy, then
// removes the front.
class PacketQueue {
public:
    void push(const PacketRecord& record);
    // Appends every record, in order, under one lock and with one wake-up of the consumer
    // (and one call of the push listener), so it finds them together. Nothing when empty.
    void pushAll(std::span<const PacketRecord> records);

    // A copy of the front record, or nothing when the queue is empty.
    std::optional<PacketRecord> front() const;
    // Removes the front record; false when the queue was empty.
    bool popFront();
    // front() and popFront() in one step.
    std::optional<PacketRecord> takeFront();

    bool empty() const;
    std::size_t size() const;
    void clear();

    // Blocks until a record is queued or the deadline passes; true when not empty.
    bool waitUntilNotEmpty(std::chrono::steady_clock::time_point deadline) const;

    // Called on the producing thread after every push, outside the queue's lock
    // (the client uses it to wake its main loop). Set it before the producer starts.
    void setPushListener(std::function<void()> listener);

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable pushed_;
    std::deque<PacketRecord> records_;
    std::function<void()> pushListener_;
};

}  // namespace kestrane
