// send_backlog.h -- bytes due to a peer that its socket has not taken yet, in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "platform/tcp_socket.h"

namespace kestrane {

// Everything the server sends a player, and everything a client sends its server, goes
// through a backlog, so a peer whose socket is full for a moment (a slow or briefly stalled
// reader) later gets every byte, in order, and the sender never waits for it.
// Positions in the peer's stream count every byte ever appended or passed to flush as a
// tail, from 0: bytesSent() of them have gone out.
// Not thread-safe: the owner guards it (the server's players lock, the session's send lock).
class SendBacklog {
public:
    enum class FlushResult {
        Drained,  // everything went out
        Held,     // everything before the hold position went out; the rest waits for the owner
        Waiting,  // the socket is full; the rest waits for it to drain
        Failed,   // the connection is broken (reset, closed, not a socket)
    };
    static constexpr std::uint64_t kNoHold = std::numeric_limits<std::uint64_t>::max();

    void append(std::span<const std::uint8_t> bytes);
    // Sends as much as the socket takes now, without waiting: the backlog, then `tail` (bytes
    // due right after it, such as this peer's view of a buffer shared with other peers), in
    // one gather write where the socket takes it all, and nothing at or after stream position
    // `holdAt`. What of `tail` did not go out is copied into the backlog.
    FlushResult flush(TcpSocket& socket, std::span<const std::uint8_t> tail = {}, std::uint64_t holdAt = kNoHold);
    bool empty() const { return start_ == bytes_.size(); }
    // The last flush found the socket full: the rest goes out once it has room again.
    bool waitingForRoom() const { return waiting_; }
    // Bytes still waiting.
    std::size_t size() const { return bytes_.size() - start_; }
    // Bytes appended and bytes sent over the backlog's life (clear() counts as sent): a byte
    // appended when bytesAppended() was n has gone out once bytesSent() is n or more.
    std::uint64_t bytesAppended() const { return sent_ + size(); }
    std::uint64_t bytesSent() const { return sent_; }
    void clear();

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t start_ = 0;  // bytes_[0, start_) have gone out
    std::uint64_t sent_ = 0;
    bool waiting_ = false;
};

}  // namespace kestrane
