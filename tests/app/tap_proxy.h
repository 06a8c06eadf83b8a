// tap_proxy.h -- a relay between one client and the server on loopback that records, with
// their arrival times, the packets going each way and the moment each side closed.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "common/packet.h"
#include "common/stream_reader.h"
#include "platform/tcp_socket.h"

namespace kestrane::testing {

using Clock = std::chrono::steady_clock;

struct TappedPacket {
    PacketRecord record;
    Clock::time_point at;
};

// Listens on a free loopback port; the first client to connect is joined to the server. When
// the server closes its side the client's side is kept open, so the test sees when the
// client itself closes. Observers may be called from any thread.
class TapProxy {
public:
    explicit TapProxy(std::uint16_t serverPort);
    ~TapProxy();
    TapProxy(const TapProxy&) = delete;
    TapProxy& operator=(const TapProxy&) = delete;

    std::uint16_t port() const { return listener_.localPort(); }

    std::vector<TappedPacket> fromClient() const;
    std::vector<TappedPacket> toClient() const;
    std::optional<Clock::time_point> clientClosedAt() const;

    // Waits until `condition` holds (checked as packets arrive); false after `timeout`.
    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const;

private:
    void run(std::uint16_t serverPort);
    // Reads what `from` holds, records its packets and forwards the bytes; false at its end.
    bool pass(TcpSocket& from, TcpSocket* to, PacketStreamReader& reader, std::vector<TappedPacket>& log);

    TcpSocket listener_;
    std::atomic<bool> running_{true};
    mutable std::mutex mutex_;
    std::vector<TappedPacket> fromClient_;
    std::vector<TappedPacket> toClient_;
    std::optional<Clock::time_point> clientClosedAt_;
    std::thread thread_;
};

}  // namespace kestrane::testing
