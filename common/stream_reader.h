// stream_reader.h -- cuts a TCP byte stream into packet records, whatever its segmentation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "common/packet.h"
#include "common/packet_queue.h"
#include "platform/tcp_socket.h"

namespace kestrane {

// Per-connection reader state: a packet whose bytes arrive in several reads is completed
// across them. Stray bytes where a packet should start are skipped one at a time.
// A payload longer than kPayloadCapacity is consumed whole; its first 51 bytes are kept
// and the record is queued with length 51.
// Thread-safety: one reading thread per reader.
class PacketStreamReader {
public:
    // Consumes bytes toward the next packet: one stray byte, or bytes of the packet under
    // way up to its end. Appends the packet to `queue` when it completes. Returns the
    // number of bytes consumed (0 only when `bytes` is empty).
    std::size_t readPacket(std::span<const std::uint8_t> bytes, PacketQueue& queue);

    // Consumes all of `bytes`; returns how many packets were completed.
    std::size_t feed(std::span<const std::uint8_t> bytes, PacketQueue& queue);

    // True while part of a packet has been read and the rest is awaited.
    bool midPacket() const { return headerFilled_ > 0; }
    // Packets completed over the reader's life.
    std::uint64_t packetsCompleted() const { return packetsCompleted_; }
    // The header of the packet completed last (all zero before the first).
    const PacketHeader& lastHeader() const { return lastHeader_; }

private:
    PacketRecord record_{};
    std::size_t headerFilled_ = 0;   // header bytes read of the packet under way; 0 = awaiting a marker
    std::size_t payloadWanted_ = 0;  // the length byte as sent, up to 255
    std::size_t payloadFilled_ = 0;
    std::uint64_t packetsCompleted_ = 0;
    PacketHeader lastHeader_{0, 0, 0, 0};
};

enum class StreamStatus { Open, Closed, Failed };

struct ReadResult {
    std::size_t packets = 0;  // packets completed and queued by this call
    StreamStatus status = StreamStatus::Open;
};

// Reads whatever the socket holds now, without waiting: asks how many bytes wait and
// reads them as readReadyPackets does, feeding `reader`. With nothing waiting it checks, without
// reading, whether the peer closed or the connection failed; an idle open connection is
// never read from. Closed or Failed tells the caller to drop the connection.
ReadResult readAvailablePackets(TcpSocket& socket, PacketStreamReader& reader, PacketQueue& queue);

// For a socket a poller has just found readable (or closed): reads, without waiting, until
// the socket would block, the peer has closed, or `maxBytes` have been read (so one busy
// peer cannot hold up the others; the rest is read on the next readiness), feeding `reader`.
// Closed or Failed tells the caller to drop the connection.
ReadResult readReadyPackets(TcpSocket& socket, PacketStreamReader& reader, PacketQueue& queue,
                            std::size_t maxBytes = 64 * 1024);

}  // namespace kestrane
