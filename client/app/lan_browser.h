// lan_browser.h -- the login dialog's list of games on the LAN, found by broadcast status queries.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "common/status_datagram.h"
#include "platform/udp_socket.h"

namespace kestrane {

// One server that answered.
struct LanServer {
    Endpoint game;  // the address it answered from, with its TCP game port
    std::string name;
    std::uint16_t players = 0;
    std::uint16_t limit = 0;
    std::string version;
    double roundTripSeconds = 0;
    double lastSeen = 0;  // seconds, on the clock passed to the browser
    std::uint32_t instance = 0;
};

// What the Server IP field takes for `server`: its address, with ":port" when the port is
// not the game's usual 5001.
std::string serverFieldText(const LanServer& server);
// "0.4 ms", "12 ms": a round-trip time for the list.
std::string roundTripText(double seconds);

// Every few seconds sends one status query to each target and lists the servers that
// answer, each once, by name; a server that stops answering leaves the list. Driven by the
// time the caller passes in (seconds, steady), so tests step it without sleeping; it never
// waits on the network itself. Main thread only.
class LanBrowser {
public:
    static constexpr double kRoundInterval = 3.0;  // seconds between two rounds of queries
    static constexpr double kForgetAfter = 10.0;   // seconds unheard before a server leaves the list

    using Targets = std::function<std::vector<Endpoint>()>;

    // `targets` is asked before each round, so networks that come and go are followed.
    explicit LanBrowser(Targets targets = everyLocalNetwork);

    // The discovery port of every network this machine can broadcast on, and of this
    // machine itself (its loopback network's broadcast address and 127.0.0.1).
    static std::vector<Endpoint> everyLocalNetwork();

    // Opens the socket. False when it cannot: the list then stays empty, and the dialog
    // works as without it.
    bool open();
    // Sends a round of queries when one is due, then takes in every answer that waits.
    void update(double now);
    // Waits at most `timeoutMs` for an answer to arrive; true when one waits.
    bool waitForAnswer(int timeoutMs) const;
    // What one datagram from `from`, read at `now`, does to the list: an answer to the
    // current round adds or refreshes its server; anything else is ignored.
    void takeAnswer(std::span<const std::uint8_t> datagram, const Endpoint& from, double now);

    // By name, then address.
    const std::vector<LanServer>& servers() const { return servers_; }
    // The token of the latest round's queries, which its answers carry.
    std::uint32_t roundToken() const { return token_; }
    // Bumps with every change of the list.
    std::uint64_t revision() const { return revision_; }

private:
    void sendRound(double now);

    Targets targets_;
    UdpSocket socket_;
    std::optional<double> roundSentAt_;
    std::uint32_t token_ = 0;
    std::mt19937 random_{std::random_device{}()};  // tokens, so answers to others' queries are not taken
    std::vector<LanServer> servers_;
    std::uint64_t revision_ = 0;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(kStatusMaxDatagram);
};

}  // namespace kestrane
