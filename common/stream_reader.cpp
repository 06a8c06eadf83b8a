// stream_reader.cpp -- the packet framing state machine and the socket read step.
#include "common/stream_reader.h"

#include <algorithm>
#include <array>

namespace kestrane {

std::size_t PacketStreamReader::readPacket(std::span<const std::uint8_t> bytes, PacketQueue& queue) {
    std::size_t consumed = 0;
    if (bytes.empty()) {
        return 0;
    }
    if (headerFilled_ == 0) {
        if (bytes[0] != kPacketMarker) {
            return 1;  // a stray byte: skip it
        }
        record_ = PacketRecord{};
        headerFilled_ = 1;
        consumed = 1;
    }
    while (headerFilled_ < kHeaderSize && consumed < bytes.size()) {
        const std::uint8_t byte = bytes[consumed++];
        switch (headerFilled_++) {
            case 1: record_.header.sender = byte; break;
            case 2: record_.header.type = byte; break;
            default:
                payloadWanted_ = byte;
                payloadFilled_ = 0;
                record_.header.length = static_cast<std::uint8_t>(std::min<std::size_t>(byte, kPayloadCapacity));
                break;
        }
    }
    if (headerFilled_ < kHeaderSize) {
        return consumed;
    }
    const std::size_t take = std::min(payloadWanted_ - payloadFilled_, bytes.size() - consumed);
    for (std::size_t i = 0; i < take; ++i) {
        const std::size_t index = payloadFilled_ + i;
        if (index < kPayloadCapacity) {
            record_.payload[index] = bytes[consumed + i];
        }
    }
    payloadFilled_ += take;
    consumed += take;
    if (payloadFilled_ == payloadWanted_) {
        queue.push(record_);
        lastHeader_ = record_.header;
        headerFilled_ = 0;
        ++packetsCompleted_;
    }
    return consumed;
}

std::size_t PacketStreamReader::feed(std::span<const std::uint8_t> bytes, PacketQueue& queue) {
    const std::uint64_t before = packetsCompleted_;
    while (!bytes.empty()) {
        bytes = bytes.subspan(readPacket(bytes, queue));
    }
    return static_cast<std::size_t>(packetsCompleted_ - before);
}

ReadResult readAvailablePackets(TcpSocket& socket, PacketStreamReader& reader, PacketQueue& queue) {
    ReadResult result;
    const std::optional<std::size_t> waiting = socket.bytesWaiting();
    if (!waiting) {
        result.status = StreamStatus::Failed;
        return result;
    }
    if (*waiting == 0) {
        switch (socket.probePeer()) {
            case PeerStatus::Open: break;
            case PeerStatus::Closed: result.status = StreamStatus::Closed; break;
            case PeerStatus::Failed: result.status = StreamStatus::Failed; break;
        }
        return result;
    }
    return readReadyPackets(socket, reader, queue, *waiting);
}

ReadResult readReadyPackets(TcpSocket& socket, PacketStreamReader& reader, PacketQueue& queue, std::size_t maxBytes) {
    ReadResult result;
    std::array<std::uint8_t, 4096> buffer;
    std::size_t total = 0;
    while (total < maxBytes) {
        const long got = socket.receive(buffer, /*dontWait=*/true);
        if (got == 0) {
            result.status = StreamStatus::Closed;
            break;
        }
        if (got < 0) {
            if (lastSocketError() != SocketError::WouldBlock) {
                result.status = StreamStatus::Failed;
            }
            break;
        }
        result.packets += reader.feed(std::span(buffer.data(), static_cast<std::size_t>(got)), queue);
        total += static_cast<std::size_t>(got);
        if (static_cast<std::size_t>(got) < buffer.size()) {
            break;  // took all there was: the next call would only find the socket empty
        }
    }
    return result;
}

}  // namespace kestrane
