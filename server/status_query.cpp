// status_query.cpp -- one status query and its answer, for scripts and health checks.
#include "server/status_query.h"

#include <cstdio>
#include <random>

namespace kestrane {

namespace {

// Queries go out again this often while no answer has come.
constexpr auto kAskAgain = std::chrono::milliseconds(300);

}  // namespace

std::optional<StatusReply> queryServerStatus(const Endpoint& to, bool wantPlayers, std::chrono::milliseconds timeout) {
    UdpSocket socket = UdpSocket::open();
    if (!socket.valid() || !socket.setBroadcast(true) || !socket.bind(0)) {
        return std::nullopt;
    }
    std::random_device random;
    const StatusQuery query{random(), wantPlayers};
    const std::vector<std::uint8_t> bytes =
        encodeStatusQuery(query, wantPlayers ? kStatusMaxDatagram : kStatusQuerySize);
    std::vector<std::uint8_t> buffer(kStatusMaxDatagram);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + timeout;
    Clock::time_point nextAsk = start;
    for (Clock::time_point now = start; now < deadline; now = Clock::now()) {
        if (now >= nextAsk) {
            socket.sendTo(bytes, to);
            nextAsk = now + kAskAgain;
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(std::min(nextAsk, deadline) - now);
        if (!socket.waitReadable(static_cast<int>(wait.count()))) {
            continue;
        }
        const UdpReceive received = socket.receiveFrom(buffer);
        if (received.status != UdpReceive::Status::Datagram || received.truncated) {
            continue;
        }
        std::optional<StatusAnswer> answer = decodeStatusAnswer({buffer.data(), received.size});
        if (!answer || answer->token != query.token) {
            continue;  // not the answer to this query
        }
        const std::chrono::duration<double> took = Clock::now() - start;
        return StatusReply{std::move(*answer), received.from, took.count()};
    }
    return std::nullopt;
}

std::string statusLine(const StatusReply& reply) {
    const StatusAnswer& answer = reply.answer;
    char roundTrip[32];
    std::snprintf(roundTrip, sizeof roundTrip, "%.1f ms", reply.roundTripSeconds * 1000);
    return answer.name + "\t" + std::to_string(answer.players) + "/" + std::to_string(answer.limit) + "\t" +
           reply.from.address.toString() + ":" + std::to_string(answer.port) + "\t" + answer.version + "\t" +
           roundTrip;
}

std::vector<std::string> playerLines(const StatusAnswer& answer) {
    std::vector<std::string> lines;
    for (const StatusPlayer& player : answer.playerList) {
        lines.push_back(std::to_string(player.number) + "\t" + player.name);
    }
    if (answer.listCut) {
        const std::size_t listed = answer.playerList.size();
        lines.push_back("...\t" + std::to_string(answer.players > listed ? answer.players - listed : 0) + " more");
    }
    return lines;
}

}  // namespace kestrane
