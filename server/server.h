// server.h -- one whole game server: shared state, packet worker, network, start-up and Exit.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/frame_timer.h"
#include "server/connection_limits.h"
#include "server/input_budget.h"
#include "server/packet_worker.h"
#include "server/server_network.h"
#include "server/server_state.h"
#include "server/status_responder.h"

namespace kestrane {

class RecordingWriter;

struct ServerOptions {
    std::uint16_t port = kDefaultServerPort;  // 0 picks a free port (tests, benchmarks)
    std::optional<Ipv4Address> bindAddress;   // default: every local address
    // The pause between the ServerClosing broadcast and the end, which gives the clients
    // time to read it before their connections close.
    std::chrono::milliseconds closingPause{2000};
    FrameTimer::Clock clock = secondsSinceStart;  // paces the Tick, the Resume, the input budgets, the log
    // Kernel send buffer of each player socket in bytes; 0 keeps the system's automatic
    // sizing. Tests shrink it so that a stalled client's bytes soon wait in its backlog.
    int playerSendBuffer = 0;
    // The name LAN players and status queries see (UTF-8); empty: this machine's name.
    std::string name;
    // The shared UDP port where every server of a host answers status queries; 0: none.
    std::uint16_t discoveryPort = kDiscoveryPort;
    // Bytes a player's backlog may hold before the player is removed; 0: backlogBoundFor.
    std::size_t playerBacklogBound = 0;
    // The operator's limits (--max-players, --max-per-address) and every player's input budget.
    ConnectionLimits connections;
    InputLimits input;
    // Where everything sent to every player is recorded as well (--record); null: nowhere.
    // Owned by the caller and kept open until the server is destroyed.
    RecordingWriter* recording = nullptr;
};

// Bytes a player's backlog may hold before the player is removed: about a second of what a
// full server sends each player when everybody sends at the full budget, within 64 KiB..1 MiB.
std::size_t backlogBoundFor(const ServerOptions& options);

// A server instance with no globals, so tests can run several in one process. The front
// end (console window or headless loop) owns it on the main thread.
class Server {
public:
    explicit Server(ServerOptions options = {});
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Start-up, in order: player count "0", the worker, the network, the status ports,
    // "Start Kestrane NetWork Server" and the local address. False when the network could not start ("socket()
    // Error" has been shown); the worker is stopped again.
    bool start();
    // The port the server listens on, once started.
    std::uint16_t port() const { return network_.port(); }

    // One network pass (see ServerNetwork::pollNetwork).
    void pollNetwork(int timeoutMs) { network_.pollNetwork(timeoutMs); }

    // The Exit sequence: "Kestrane Server Closing", ServerClosing to every player, the
    // closing pause, then the worker and the network are stopped. `beforePause` runs just
    // before the pause (the console draws the closing line with it).
    void exitServer(const std::function<void()>& beforePause = {});
    // Asks the main loop to run the Exit sequence. Any thread; async-signal-safe.
    void requestExit();
    bool exitRequested() const { return exitRequested_.load(); }

    // The headless main loop: network passes until requestExit, then exitServer.
    void runHeadless();

    ServerState& state() { return state_; }
    ServerLog& log() { return state_.log; }
    ServerStatus& status() { return state_.status; }
    StatusResponder& statusResponder() { return responder_; }

private:
    ServerOptions options_;
    ServerState state_;
    PacketWorker worker_;
    StatusResponder responder_;  // before the network, which holds on to it
    ServerNetwork network_;
    std::atomic<bool> exitRequested_{false};
};

// Writes "IP : a.b.c.d" of this machine's first address (by its host name; a loopback answer
// gives way to the first interface address) into the display's IP field. On failure shows
// "Finding Local Name Error" or "Finding My IP Error" and leaves it empty.
void showLocalAddress(ServerStatus& status);

}  // namespace kestrane
