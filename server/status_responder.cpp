// status_responder.cpp -- reading status queries and answering them within the rate limits.
#include "server/status_responder.h"

#include <algorithm>

namespace kestrane {

namespace {

std::uint32_t keyOf(const Ipv4Address& address) {
    return static_cast<std::uint32_t>(address.bytes[0]) << 24 | static_cast<std::uint32_t>(address.bytes[1]) << 16 |
           static_cast<std::uint32_t>(address.bytes[2]) << 8 | address.bytes[3];
}

UdpSocket openBound(std::uint16_t port, bool shared, std::optional<Ipv4Address> address) {
    UdpSocket socket = UdpSocket::open();
    if (!socket.valid() || (shared && !socket.setReuseAddress(true)) || !socket.bind(port, address)) {
        return {};
    }
    return socket;
}

std::string portTakenLine(std::uint16_t port) {
    return "UDP port " + std::to_string(port) + " is not available: status queries there go unanswered";
}

}  // namespace

void AnswerRateLimit::forgetIdle(double now) {
    // A source idle long enough to have its whole burst back is the same as a new one.
    std::erase_if(sources_, [&](const auto& entry) { return now - entry.second.at >= kBurst / kPerSecond; });
}

bool AnswerRateLimit::allow(const Ipv4Address& source, double now) {
    auto found = sources_.find(keyOf(source));
    if (found == sources_.end()) {
        if (sources_.size() >= kMaxSources) {
            forgetIdle(now);
            if (sources_.size() >= kMaxSources) {
                return false;
            }
        }
        found = sources_.emplace(keyOf(source), TokenBucket{kBurst, now}).first;
    }
    // The source's bucket is asked first so that a refused source does not use up the total.
    if (!found->second.take(now, kPerSecond, kBurst)) {
        return false;
    }
    if (!total_.take(now, kTotalPerSecond, kTotalBurst)) {
        found->second.tokens += 1;
        return false;
    }
    return true;
}

StatusResponder::StatusResponder(const ServerStatus& status, std::uint16_t limit, std::uint32_t instance)
    : status_(status), limit_(limit), instance_(instance) {}

std::vector<std::string> StatusResponder::open(std::uint16_t gamePort, std::uint16_t discoveryPort,
                                               std::optional<Ipv4Address> address) {
    close();
    std::vector<std::string> problems;
    gamePort_ = gamePort;
    if (gamePort == discoveryPort) {
        // One socket serves both: it must share the port, and hear broadcasts on every address.
        gameSocket_ = openBound(gamePort, /*shared=*/true, std::nullopt);
    } else {
        gameSocket_ = openBound(gamePort, /*shared=*/false, address);
        if (discoveryPort != 0) {
            discoverySocket_ = openBound(discoveryPort, /*shared=*/true, std::nullopt);
            if (!discoverySocket_.valid()) {
                problems.push_back(portTakenLine(discoveryPort));
            }
        }
    }
    if (!gameSocket_.valid()) {
        problems.insert(problems.begin(), portTakenLine(gamePort));
    }
    return problems;
}

void StatusResponder::close() {
    gameSocket_.close();
    discoverySocket_.close();
}

void StatusResponder::watch(Poller& poller) const {
    for (const UdpSocket* socket : {&gameSocket_, &discoverySocket_}) {
        if (socket->valid()) {
            poller.add(*socket);
        }
    }
}

std::array<std::uint16_t, 2> StatusResponder::ports() const {
    const std::uint16_t game = gameSocket_.valid() ? gameSocket_.localPort() : 0;
    return {game, discoverySocket_.valid() ? discoverySocket_.localPort() : game};
}

void StatusResponder::answerWaiting(double now) {
    answerFrom(gameSocket_, now);
    answerFrom(discoverySocket_, now);
}

void StatusResponder::answerFrom(UdpSocket& socket, double now) {
    if (!socket.valid()) {
        return;
    }
    for (int i = 0; i < kMaxDatagramsPerPass; ++i) {
        const UdpReceive received = socket.receiveFrom(buffer_);
        if (received.status != UdpReceive::Status::Datagram) {
            return;
        }
        if (received.truncated) {
            continue;  // longer than any query may be
        }
        const std::span<const std::uint8_t> datagram(buffer_.data(), received.size);
        if (const auto answer = answerFor(datagram, received.from.address, now)) {
            socket.sendTo(*answer, received.from);  // a lost answer is asked for again
        }
    }
}

std::optional<std::vector<std::uint8_t>> StatusResponder::answerFor(std::span<const std::uint8_t> datagram,
                                                                    const Ipv4Address& from, double now) {
    const std::optional<StatusQuery> query = decodeStatusQuery(datagram);
    if (!query || !rateLimit_.allow(from, now)) {
        return std::nullopt;
    }
    const ServerStatus::Snapshot shown = status_.snapshot();
    StatusAnswer answer;
    answer.token = query->token;
    answer.instance = instance_;
    answer.players = static_cast<std::uint16_t>(shown.players.size());
    answer.limit = limit_;
    answer.port = gamePort_;
    answer.name = shown.serverName;
    answer.version = std::string(programVersion());
    answer.hasPlayerList = query->wantPlayers;
    if (query->wantPlayers) {
        for (const PlayerListRow& row : shown.players) {
            answer.playerList.push_back({row.number, row.name});
        }
    }
    return encodeStatusAnswer(answer, datagram.size());
}

}  // namespace kestrane
