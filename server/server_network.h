// server_network.h -- the listening socket and the main thread's network pass: accept, greet, read.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/frame_timer.h"
#include "common/packet_queue.h"
#include "common/protocol.h"
#include "platform/clock.h"
#include "platform/poller.h"
#include "platform/tcp_socket.h"
#include "platform/wake_event.h"
#include "server/connection_limits.h"
#include "server/input_budget.h"
#include "server/server_state.h"

namespace kestrane {

inline constexpr std::uint16_t kDefaultServerPort = kServerPort;

// The main thread's side of the network. Everything here runs on the thread that calls
// pollNetwork, except wake(), which any thread or a signal handler may call.
class StatusResponder;

class ServerNetwork {
public:
    // Records waiting for the worker beyond which the loop stops reading players until it
    // catches up, so TCP holds a flooding client back instead of the queue growing without end.
    static constexpr std::size_t kQueueHighWater = 4096;

    // What the network loop is told at construction.
    struct Settings {
        int playerSendBuffer = 0;  // kernel send buffer of each player socket in bytes; 0: the system's sizing
        ConnectionLimits connections;
        InputLimits input;
        GameClock clock = secondsSinceStart;  // for the input budgets, the log's pace and the accept pause
    };

    ServerNetwork(ServerState& state, Settings settings);
    explicit ServerNetwork(ServerState& state) : ServerNetwork(state, Settings{}) {}
    ~ServerNetwork();
    ServerNetwork(const ServerNetwork&) = delete;
    ServerNetwork& operator=(const ServerNetwork&) = delete;

    // Listens on `port` (0 picks a free one) on every local address, or on `address`.
    // On failure shows "WSAStartup() Error" (the socket library did not start) or
    // "socket() Error" and returns false.
    bool startNetwork(std::uint16_t port, std::optional<Ipv4Address> address = std::nullopt);
    // Closes the listening socket.
    void stopNetwork();
    // The port listened on; 0 when not listening.
    std::uint16_t port() const;

    // One network pass. Waits at most `timeoutMs` for a connection, a player's bytes, room
    // in the socket of a player with a backlog, or wake(); then either takes one new player
    // in (registers it, logs it, sends Welcome) or reads every player that has something,
    // queueing its packets for the worker, and sends on what waits for the sockets that
    // drained. Only packets a player may send, in its own name and within its input budget,
    // are queued; the rest are dropped and logged at a bounded pace. Reading a closed or
    // failed connection, or a player over budget too long, queues a connection-lost note.
    void pollNetwork(int timeoutMs);

    // Ends a pollNetwork wait at once. Async-signal-safe.
    void wake();

    // Status queries are answered in the network pass too, whenever one waits.
    void setStatusResponder(StatusResponder* responder) { statusResponder_ = responder; }

private:
    bool acceptStep();
    void readStep(std::size_t firstPlayerSlot);
    void readPlayer(std::uint8_t number, int descriptor);
    // Whether a packet read from the player at `index` goes on to the worker.
    bool admitPacket(std::size_t index, const PacketRecord& record, double now);
    void refuse(Refusal refusal, std::optional<Ipv4Address> address);

    ServerState& state_;
    TcpSocket listenSocket_;
    Settings settings_;
    RefusalLog refusalLog_;
    WakeEvent wakeEvent_;
    StatusResponder* statusResponder_ = nullptr;
    double acceptPausedUntil_ = 0;  // settings_.clock seconds
    // Scratch for one pass: the watched sockets, and the player number and socket
    // descriptor of each player watched (a newcomer given a removed player's number since
    // has another socket).
    Poller poller_;
    struct Watched {
        std::uint8_t number;
        int descriptor;
    };
    std::vector<Watched> watchedPlayers_;
    std::vector<TcpSocket> removedSockets_;  // of players removed before this pass: closed after its wait
    PacketQueue readBuffer_;              // packets of one connection before the sender check
    std::vector<PacketRecord> admitted_;  // what one pass hands the worker, in order
};

}  // namespace kestrane
