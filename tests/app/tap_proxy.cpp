// tap_proxy.cpp -- one relay thread polling both sockets.
#include "tests/app/tap_proxy.h"

#include <poll.h>

#include "common/packet_queue.h"
#include "common/stream_reader.h"

namespace kestrane::testing {

namespace {

constexpr int kPollMs = 10;

}  // namespace

TapProxy::TapProxy(std::uint16_t serverPort) {
    listener_ = TcpSocket::openStream();
    listener_.bindAndListen(0, 1, Ipv4Address::loopback());
    thread_ = std::thread([this, serverPort] { run(serverPort); });
}

TapProxy::~TapProxy() {
    running_ = false;
    thread_.join();
}

std::vector<TappedPacket> TapProxy::fromClient() const {
    std::lock_guard lock(mutex_);
    return fromClient_;
}

std::vector<TappedPacket> TapProxy::toClient() const {
    std::lock_guard lock(mutex_);
    return toClient_;
}

std::optional<Clock::time_point> TapProxy::clientClosedAt() const {
    std::lock_guard lock(mutex_);
    return clientClosedAt_;
}

bool TapProxy::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool TapProxy::pass(TcpSocket& from, TcpSocket* to, PacketStreamReader& reader, std::vector<TappedPacket>& log) {
    std::uint8_t buffer[4096];
    const long got = from.receive(buffer);
    if (got <= 0) {
        return false;
    }
    const std::span<const std::uint8_t> bytes(buffer, static_cast<std::size_t>(got));
    PacketQueue packets;
    reader.feed(bytes, packets);
    const Clock::time_point at = Clock::now();
    {
        std::lock_guard lock(mutex_);
        while (std::optional<PacketRecord> record = packets.takeFront()) {
            log.push_back({*record, at});
        }
    }
    if (to != nullptr && to->valid()) {
        to->sendAll(bytes);
    }
    return true;
}

void TapProxy::run(std::uint16_t serverPort) {
    TcpSocket client;
    while (running_ && !client.valid()) {
        if (listener_.waitReadable(kPollMs)) {
            client = listener_.accept();
        }
    }
    TcpSocket server = TcpSocket::openStream();
    if (!client.valid() || server.connect(Ipv4Address::loopback(), serverPort) != ConnectStatus::Connected) {
        return;
    }
    PacketStreamReader clientReader;
    PacketStreamReader serverReader;
    while (running_) {
        pollfd fds[2] = {{client.fd(), POLLIN, 0}, {server.valid() ? server.fd() : -1, POLLIN, 0}};
        if (poll(fds, 2, kPollMs) <= 0) {
            continue;
        }
        if (fds[0].revents != 0 && !pass(client, &server, clientReader, fromClient_)) {
            std::lock_guard lock(mutex_);
            clientClosedAt_ = Clock::now();
            return;
        }
        if (server.valid() && fds[1].revents != 0 && !pass(server, &client, serverReader, toClient_)) {
            server.close();  // the client's side stays open: its own close is what is watched
        }
    }
}

}  // namespace kestrane::testing
