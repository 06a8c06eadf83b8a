// status_responder.h -- the server's answers to UDP status queries: LAN discovery and `--query`.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/status_datagram.h"
#include "platform/poller.h"
#include "platform/udp_socket.h"
#include "server/server_status.h"
#include "server/token_bucket.h"

namespace kestrane {

// Answers per source address: a burst, then a steady rate; and a cap over all sources, for
// floods from many (perhaps forged) addresses. Times in seconds, from any steady clock.
class AnswerRateLimit {
public:
    static constexpr double kPerSecond = 10;
    static constexpr double kBurst = 20;
    static constexpr double kTotalPerSecond = 200;
    static constexpr double kTotalBurst = 400;
    static constexpr std::size_t kMaxSources = 4096;  // sources remembered at once

    // True when one more answer to `source` is allowed at `now`, and counts it.
    bool allow(const Ipv4Address& source, double now);

private:
    void forgetIdle(double now);

    std::unordered_map<std::uint32_t, TokenBucket> sources_;
    TokenBucket total_{kTotalBurst, 0};
};

// A status query costs the server no player number and no connection, and leaves no trace
// in the log or on the console. Main thread only (the network pass calls it); it reads the
// console's display fields, which are safe from any thread.
class StatusResponder {
public:
    // Datagrams read from each socket in one pass at most, so a flood cannot hold up the
    // game's own network work.
    static constexpr int kMaxDatagramsPerPass = 32;

    // `limit`: the most players the server takes; `instance`: random per server run.
    StatusResponder(const ServerStatus& status, std::uint16_t limit, std::uint32_t instance);

    // Opens UDP `gamePort` (the TCP port's number) on `address` or every address, and the
    // shared `discoveryPort` on every address with address reuse (0: none). Returns a log
    // line for each port that could not be opened; the server runs on without it.
    std::vector<std::string> open(std::uint16_t gamePort, std::uint16_t discoveryPort,
                                  std::optional<Ipv4Address> address = std::nullopt);
    void close();
    // Adds the open sockets to `poller`, to be read when either is ready.
    void watch(Poller& poller) const;
    // The UDP ports listened on (0 where none is open): the game port's, then the shared one.
    std::array<std::uint16_t, 2> ports() const;

    // Reads what waits on the sockets, without waiting, and answers each well-formed query.
    void answerWaiting(double now);
    // The answer to one datagram from `from` at `now`: nothing for a malformed or
    // rate-limited one. Never larger than the query.
    std::optional<std::vector<std::uint8_t>> answerFor(std::span<const std::uint8_t> datagram,
                                                       const Ipv4Address& from, double now);

private:
    void answerFrom(UdpSocket& socket, double now);

    const ServerStatus& status_;
    std::uint16_t limit_;
    std::uint32_t instance_;
    std::uint16_t gamePort_ = 0;
    UdpSocket gameSocket_;
    UdpSocket discoverySocket_;  // invalid when the game port is the discovery port itself
    AnswerRateLimit rateLimit_;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(kStatusMaxDatagram);
};

}  // namespace kestrane
