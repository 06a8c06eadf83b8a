// packet_reader.cpp -- reading a test's socket into packets.
#include "tests/support/packet_reader.h"

namespace kestrane::testing {

bool PacketReader::receive(std::chrono::milliseconds wait) {
    if (closed_) {
        return false;
    }
    if (wait.count() > 0 && !socket_.waitReadable(static_cast<int>(wait.count()))) {
        return true;
    }
    closed_ = readAvailablePackets(socket_, reader_, queue_).status != StreamStatus::Open;
    return !closed_;
}

std::optional<PacketRecord> PacketReader::next(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (std::optional<PacketRecord> record = queue_.takeFront()) {
            return record;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !receive(left)) {
            return queue_.takeFront();
        }
    }
}

std::vector<PacketRecord> PacketReader::takeAll() {
    receive();
    std::vector<PacketRecord> packets;
    while (std::optional<PacketRecord> record = queue_.takeFront()) {
        packets.push_back(*record);
    }
    return packets;
}

}  // namespace kestrane::testing
