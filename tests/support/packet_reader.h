// packet_reader.h -- a test's end of a connection read into whole packets.
#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "common/packet_queue.h"
#include "common/stream_reader.h"
#include "platform/tcp_socket.h"

namespace kestrane::testing {

// Reads what arrives on a socket the test holds (a stand-in server, a raw player) and cuts
// it into packets. The socket is the caller's and must outlive the reader.
// Thread-safety: one thread reads; packets() and the queue may be taken from another.
class PacketReader {
public:
    explicit PacketReader(TcpSocket& socket) : socket_(socket) {}

    // Waits at most `wait` for bytes, then reads all that have come. False once the peer has
    // closed or the connection failed (what came before stays queued).
    bool receive(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
    // The next packet, reading for at most `timeout` until one is whole; nothing on time-out
    // or close.
    std::optional<PacketRecord> next(std::chrono::milliseconds timeout);
    // Every packet whole so far, without waiting.
    std::vector<PacketRecord> takeAll();

    PacketQueue& queue() { return queue_; }
    const PacketStreamReader& stream() const { return reader_; }
    bool closed() const { return closed_; }

private:
    TcpSocket& socket_;
    PacketStreamReader reader_;
    PacketQueue queue_;
    bool closed_ = false;
};

}  // namespace kestrane::testing
