// send_backlog.cpp -- non-blocking sends that keep what the socket did not take.
#include "platform/send_backlog.h"

#include <algorithm>
#include <array>

namespace kestrane {

namespace {

// Sent bytes are cut off the front once they are this many and more than half the buffer,
// so a backlog that drains in small steps costs a copy now and then, not every time.
constexpr std::size_t kCompactAfter = 16 * 1024;

}  // namespace

void SendBacklog::append(std::span<const std::uint8_t> bytes) { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }

SendBacklog::FlushResult SendBacklog::flush(TcpSocket& socket, std::span<const std::uint8_t> tail, std::uint64_t holdAt) {
    FlushResult result = FlushResult::Drained;
    while (true) {
        const std::uint64_t allowed = holdAt > sent_ ? holdAt - sent_ : 0;
        std::span<const std::uint8_t> own = std::span(bytes_).subspan(start_);
        own = own.first(static_cast<std::size_t>(std::min<std::uint64_t>(own.size(), allowed)));
        const std::span<const std::uint8_t> rest =
            tail.first(static_cast<std::size_t>(std::min<std::uint64_t>(tail.size(), allowed - own.size())));
        if (own.empty() && rest.empty()) {
            result = empty() && tail.empty() ? FlushResult::Drained : FlushResult::Held;
            break;
        }
        const std::array<std::span<const std::uint8_t>, 2> pieces{own, rest};
        const long sent = socket.sendPieces(pieces, /*dontWait=*/true);
        if (sent <= 0) {
            const bool full = sent < 0 && lastSocketError() == SocketError::WouldBlock;
            result = full ? FlushResult::Waiting : FlushResult::Failed;
            break;
        }
        const auto count = static_cast<std::size_t>(sent);
        const std::size_t fromOwn = std::min(count, own.size());
        start_ += fromOwn;
        tail = tail.subspan(count - fromOwn);
        sent_ += count;
    }
    if (empty() && !bytes_.empty()) {
        bytes_.clear();
        start_ = 0;
    } else if (start_ >= kCompactAfter && start_ * 2 >= bytes_.size()) {
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    append(tail);
    waiting_ = result == FlushResult::Waiting;
    return result;
}

void SendBacklog::clear() {
    sent_ += size();
    bytes_.clear();
    start_ = 0;
    waiting_ = false;
}

}  // namespace kestrane
