// server_bench.cpp -- measures a running kestrane-server: idle CPU, tick spacing, relay latency.
//
// Starts the real program headless on a free port and talks to it with raw clients over
// loopback. Not a test: the figures depend on the machine (see docs/benchmarks.md).
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "server/server_texts.h"
#include "common/packet.h"
#include "common/stream_reader.h"
#include "platform/tcp_socket.h"


namespace {

using namespace kestrane;
using namespace kestrane::bench;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// One raw client: connects, reads its Welcome, then only reads and sends raw packets.
struct RawClient {
    TcpSocket socket;
    std::uint8_t number = 0;
    PacketStreamReader reader;
    PacketQueue received;
    std::deque<Clock::time_point> inFlight;  // send times of own packets not yet echoed
    Clock::time_point nextSend;

    bool connect(std::uint16_t port) {
        socket = TcpSocket::openStream();
        if (socket.connect(Ipv4Address::loopback(), port) != ConnectStatus::Connected) {
            return false;
        }
        socket.setNoDelay(true);
        std::uint8_t welcome[4] = {};
        if (!socket.waitReadable(2000) || socket.receive(welcome) != 4 || welcome[0] != kPacketMarker) {
            return false;
        }
        number = welcome[1];
        socket.setNonBlocking(true);
        return true;
    }
};

// Runs `clients` connected clients for `duration`. When `sendsPerSecond` is above 0 each
// sends that many Chat packets a second, evenly staggered; the time from a send to its
// own echo is collected. Arrival gaps between Ticks at the first client are collected too.
struct LoadResult {
    std::vector<double> echoMs;
    std::vector<double> tickGapMs;
    double serverCpuPercent = 0;
    bool ok = true;
};

LoadResult runClients(ServerProcess& server, int clientCount, int sendsPerSecond, std::chrono::seconds duration) {
    LoadResult result;
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < clientCount; ++i) {
        clients.push_back(std::make_unique<RawClient>());
        if (!clients.back()->connect(server.port())) {
            std::fprintf(stderr, "server_bench: client %d could not connect\n", i + 1);
            result.ok = false;
            return result;
        }
    }
    const auto period = sendsPerSecond > 0 ? std::chrono::duration_cast<Clock::duration>(1s) / sendsPerSecond
                                           : Clock::duration::max();
    const Clock::time_point start = Clock::now() + 200ms;  // let the connection lines settle
    for (int i = 0; i < clientCount; ++i) {
        clients[i]->nextSend = sendsPerSecond > 0 ? start + period * i / clientCount : Clock::time_point::max();
    }
    std::this_thread::sleep_until(start);
    std::uint8_t buffer[16384];
    for (auto& client : clients) {  // what came while connecting is not measured
        while (client->socket.receive(buffer, /*dontWait=*/true) > 0) {
        }
    }
    const double cpuBefore = server.cpuSeconds();
    const Clock::time_point end = start + duration;
    std::optional<Clock::time_point> lastTick;
    std::vector<pollfd> pollSet(clients.size());
    const std::uint8_t chatText[8] = {'b', 'e', 'n', 'c', 'h', '!', '!', '!'};

    for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
        Clock::time_point wake = end;
        for (auto& client : clients) {
            if (client->nextSend <= now) {
                const PacketRecord chat = makePacket(client->number, MsgType::Chat, chatText);
                client->inFlight.push_back(Clock::now());
                if (!client->socket.sendAll(chat.wireBytes())) {
                    result.ok = false;
                }
                client->nextSend += period;
            }
            wake = std::min(wake, client->nextSend);
        }
        for (std::size_t i = 0; i < clients.size(); ++i) {
            pollSet[i] = {clients[i]->socket.fd(), POLLIN, 0};
        }
        const auto waitMs = std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(wake - Clock::now()).count());
        if (poll(pollSet.data(), pollSet.size(), static_cast<int>(std::min<long long>(waitMs, 100))) <= 0) {
            continue;
        }
        for (std::size_t i = 0; i < clients.size(); ++i) {
            if (pollSet[i].revents == 0) {
                continue;
            }
            RawClient& client = *clients[i];
            const long got = client.socket.receive(buffer, /*dontWait=*/true);
            const Clock::time_point arrived = Clock::now();
            if (got <= 0) {
                continue;
            }
            client.reader.feed(std::span(buffer, static_cast<std::size_t>(got)), client.received);
            while (std::optional<PacketRecord> packet = client.received.takeFront()) {
                if (packet->msgType() == MsgType::Tick && i == 0) {
                    if (lastTick) {
                        result.tickGapMs.push_back(millisecondsBetween(*lastTick, arrived));
                    }
                    lastTick = arrived;
                } else if (packet->msgType() == MsgType::Chat && packet->header.sender == client.number &&
                           !client.inFlight.empty()) {
                    result.echoMs.push_back(millisecondsBetween(client.inFlight.front(), arrived));
                    client.inFlight.pop_front();
                }
            }
        }
    }
    result.serverCpuPercent = (server.cpuSeconds() - cpuBefore) / std::chrono::duration<double>(duration).count() * 100;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    std::string program = KESTRANE_SERVER_PROGRAM;
    auto seconds = std::chrono::seconds(10);
    std::vector<int> relayClients{8, 64};
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--server") {
            program = argv[i + 1];
        } else if (option == "--seconds") {
            seconds = std::chrono::seconds(std::max(1, std::atoi(argv[i + 1])));
        } else if (option == "--clients") {  // e.g. "8,64,254"
            relayClients.clear();
            std::stringstream list(argv[i + 1]);
            for (std::string item; std::getline(list, item, ',');) {
                relayClients.push_back(std::clamp(std::atoi(item.c_str()), 1, 254));
            }
        }
    }
    std::printf("Kestrane server benchmark: %s, %u cores, %lld s per phase\n", cpuModel().c_str(),
                std::thread::hardware_concurrency(), static_cast<long long>(seconds.count()));

    {
        ServerProcess server;
        if (!server.start(program)) {
            std::fprintf(stderr, "server_bench: could not start %s\n", program.c_str());
            return 1;
        }
        const LoadResult idle = runClients(server, 0, 0, seconds);
        std::printf("idle CPU, 0 players:   %.3f %% of a core\n", idle.serverCpuPercent);
        const LoadResult two = runClients(server, 2, 0, seconds);
        std::printf("idle CPU, 2 players:   %.3f %% of a core\n", two.serverCpuPercent);
        const Summary ticks = summarise(two.tickGapMs);
        std::printf("tick interval:         min %.2f ms, mean %.2f ms, max %.2f ms (%zu intervals)\n", ticks.min,
                    ticks.mean, ticks.max, ticks.count);
    }
    for (int clients : relayClients) {
        ServerProcess server;  // a fresh server each time, numbered from 1
        if (!server.start(program)) {
            return 1;
        }
        const LoadResult load = runClients(server, clients, 10, seconds);
        const Summary echo = summarise(load.echoMs);
        std::printf("relay, %3d clients x 10/s: p50 %.3f ms, p99 %.3f ms, max %.3f ms (%zu echoes), server CPU %.1f %%%s\n",
                    clients, echo.p50, echo.p99, echo.max, echo.count, load.serverCpuPercent,
                    load.ok ? "" : " (some sends failed)");
        if (server.logLinesContaining(server_text::kDroppedWord) + server.logLinesContaining(server_text::kRemovedWord) > 0) {
            std::printf("  the server's input limits dropped packets or removed players: see its log\n");
        }
    }
    return 0;
}
