// server_network.h -- the listening socket and the main thread's network pass: accept, greet, read.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "common/packet_queue.h"
#include "platform/tcp_socket.h"
#include "server/server_state.h"

struct pollfd;

namespace kestrane {

inline constexpr std::uint16_t kDefaultServerPort = 5001;

// The main thread's side of the network. Everything here runs on the thread that calls
// pollNetwork, except wake(), which any thread or a signal handler may call.
class StatusResponder;

class ServerNetwork {
public:
    // Records waiting for the worker beyond which the loop stops reading players until it
    // catches up, so TCP holds a flooding client back instead of the queue growing without end.
    static constexpr std::size_t kQueueHighWater = 4096;

    // `playerSendBuffer`: kernel send buffer of each player socket in bytes, 0 for the
    // system's automatic sizing.
    explicit ServerNetwork(ServerState& state, int playerSendBuffer = 0);
    ~ServerNetwork();
    ServerNetwork(const ServerNetwork&) = delete;
    ServerNetwork& operator=(const ServerNetwork&) = delete;

    // Listens on `port` (0 picks a free one) on every local address, or on `address`.
    // On failure shows "socket() Error" and returns false.
    bool startNetwork(std::uint16_t port, std::optional<Ipv4Address> address = std::nullopt);
    // Closes the listening socket.
    void stopNetwork();
    // The port listened on; 0 when not listening.
    std::uint16_t port() const;

    // One network pass. Waits at most `timeoutMs` for a connection, a player's bytes or
    // wake(); then either takes one new player in (registers it, logs it, sends Welcome)
    // or reads every player that has something, queueing its packets for the worker.
    // Reading a closed or failed connection queues a connection-lost note instead.
    void pollNetwork(int timeoutMs);

    // Ends a pollNetwork wait at once. Async-signal-safe.
    void wake();

    // Status queries are answered in the network pass too, whenever one waits.
    void setStatusResponder(StatusResponder* responder) { statusResponder_ = responder; }

private:
    bool acceptStep();
    void readStep();
    void readPlayer(std::uint8_t number, int fd);

    ServerState& state_;
    TcpSocket listenSocket_;
    int playerSendBuffer_ = 0;
    int wakeFd_ = -1;
    StatusResponder* statusResponder_ = nullptr;
    std::chrono::steady_clock::time_point acceptPausedUntil_{};
    // Scratch for one pass: the poll set, and the player number of each entry in it.
    std::vector<pollfd> pollSet_;
    std::vector<std::uint8_t> pollNumbers_;
    PacketQueue readBuffer_;  // packets of one connection before the sender check
};

}  // namespace kestrane
