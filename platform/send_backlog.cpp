// send_backlog.cpp -- non-blocking sends that keep what the socket did not take.
#include "platform/send_backlog.h"


namespace kestrane {

namespace {

// Sent bytes are cut off the front once they are this many and more than half the buffer,
// so a backlog that drains in small steps costs a copy now and then, not every time.
constexpr std::size_t kCompactAfter = 16 * 1024;

}  // namespace

void SendBacklog::append(std::span<const std::uint8_t> bytes) { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }

SendBacklog::FlushResult SendBacklog::flush(TcpSocket& socket) {
    while (!empty()) {
        const long sent = socket.send(std::span(bytes_).subspan(start_), /*dontWait=*/true);
        if (sent > 0) {
            start_ += static_cast<std::size_t>(sent);
            sent_ += static_cast<std::uint64_t>(sent);
            continue;
        }
        if (sent < 0 && lastSocketError() == SocketError::WouldBlock) {
            if (start_ >= kCompactAfter && start_ * 2 >= bytes_.size()) {
                bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(start_));
                start_ = 0;
            }
            waiting_ = true;
            return FlushResult::Waiting;
        }
        return FlushResult::Failed;
    }
    clear();
    return FlushResult::Drained;
}

void SendBacklog::clear() {
    sent_ += size();
    bytes_.clear();
    start_ = 0;
    waiting_ = false;
}

}  // namespace kestrane
