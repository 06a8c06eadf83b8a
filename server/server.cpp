// server.cpp -- the server's start-up order, Exit sequence and headless loop.
#include "server/server.h"

#include <algorithm>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/text.h"
#include "platform/message_box.h"
#include "server/server_texts.h"

namespace kestrane {

namespace {
// With nothing to draw, the headless loop wakes only for the network or requestExit.
constexpr int kHeadlessPollMs = 1000;
constexpr std::size_t kMinBacklogBound = 64 * 1024;
constexpr std::size_t kMaxBacklogBound = 1024 * 1024;

ServerNetwork::Settings networkSettings(const ServerOptions& options) {
    return {options.playerSendBuffer, options.connections, options.input, options.clock};
}
}  // namespace

std::size_t backlogBoundFor(const ServerOptions& options) {
    const double second = static_cast<double>(options.connections.maxPlayers) * options.input.packetsPerSecond *
                          static_cast<double>(kRecordSize);
    return std::clamp(static_cast<std::size_t>(second), kMinBacklogBound, kMaxBacklogBound);
}

static_assert(std::atomic<bool>::is_always_lock_free, "requestExit must be safe in a signal handler");

namespace {

std::uint32_t randomInstance() {
    std::random_device device;
    return device();
}

// The name given, or else this machine's, cut to what a status answer carries.
std::string serverName(const std::string& given) {
    const std::string name = given.empty() ? localHostName().value_or("Kestrane") : given;
    return std::string(utf8Prefix(name, kStatusMaxServerName));
}

}  // namespace

Server::Server(ServerOptions options)
    : options_(std::move(options)),
      worker_(state_, options_.clock),
      responder_(state_.status, static_cast<std::uint16_t>(options_.connections.maxPlayers), randomInstance()),
      network_(state_, networkSettings(options_)) {
    state_.status.setServerName(serverName(options_.name));
    std::lock_guard lock(state_.playersMutex);
    state_.players.setRecording(options_.recording);
    state_.players.setBacklogBound(options_.playerBacklogBound > 0 ? options_.playerBacklogBound
                                                                   : backlogBoundFor(options_));
}

Server::~Server() {
    worker_.stop();
    network_.stopNetwork();
}

bool Server::start() {
    {
        std::lock_guard lock(state_.playersMutex);
        state_.players.showPlayerCount();
    }
    worker_.start();
    if (!network_.startNetwork(options_.port, options_.bindAddress)) {
        network_.stopNetwork();
        worker_.stop();
        return false;
    }
    for (const std::string& line : responder_.open(network_.port(), options_.discoveryPort, options_.bindAddress)) {
        state_.log.logLine(line);
    }
    network_.setStatusResponder(&responder_);
    state_.log.logLine(server_text::kStartLine);
    showLocalAddress(state_.status);
    return true;
}

void Server::exitServer(const std::function<void()>& beforePause) {
    state_.log.logLine(server_text::kClosingLine);
    {
        std::lock_guard lock(state_.playersMutex);
        state_.players.broadcastHeader(0, MsgType::ServerClosing);
        state_.players.flushAll();
    }
    if (beforePause) {
        beforePause();
    }
    std::this_thread::sleep_for(options_.closingPause);
    worker_.stop();
    network_.stopNetwork();
}

void Server::requestExit() {
    exitRequested_.store(true);
    network_.wake();
}

void Server::runHeadless() {
    while (!exitRequested()) {
        network_.pollNetwork(kHeadlessPollMs);
    }
    exitServer();
}

void showLocalAddress(ServerStatus& status) {
    const std::optional<std::string> hostName = localHostName();
    if (!hostName) {
        showMessageBox(server_text::kDefaultCaption, server_text::kFindingLocalNameError);
        return;
    }
    std::optional<Ipv4Address> address = resolveIpv4(*hostName);
    if (!address) {
        showMessageBox(kMessageCaption, server_text::kFindingMyIpError);
        return;
    }
    // Many systems map their own name to a loopback address, which tells players nothing:
    // show the first address of a real interface instead, when there is one.
    if (address->isLoopback()) {
        const std::vector<Ipv4Address> interfaces = localInterfaceAddresses();
        if (!interfaces.empty()) {
            address = interfaces.front();
        }
    }
    status.setAddress("IP : " + address->toString());
}

}  // namespace kestrane
