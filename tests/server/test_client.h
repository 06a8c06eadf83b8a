// test_client.h -- a raw protocol client and an in-process server for the server's tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/packet_queue.h"
#include "common/player_info.h"
#include "common/protocol.h"
#include "platform/tcp_socket.h"
#include "server/server.h"
#include "server/server_texts.h"
#include "tests/support/packet_reader.h"

namespace kestrane::testing {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

inline Bytes bytesOf(const PacketRecord& record) { return {record.wireBytes().begin(), record.wireBytes().end()}; }

// Invalid packets the log reports: one for each "invalid packet" line, plus the counts of the
// summary lines that sum up the ones not logged one by one.
inline long invalidPacketsReported(const std::vector<std::string>& lines) {
    long reported = 0;
    for (const std::string& line : lines) {
        if (line == server_text::kInvalidPacketLine) {
            ++reported;
        } else if (const auto at = line.find("]: "); at != std::string::npos &&
                                                      line.find(" more invalid packets") != std::string::npos) {
            reported += std::stol(line.substr(at + 3));
        }
    }
    return reported;
}

// A blocking client on loopback that speaks the wire format directly.
class TestClient {
public:
    // Connects; false when the connection could not be made. A `receiveBuffer` in bytes
    // shrinks the socket's receive window (set before connecting, as TCP wants).
    bool connect(std::uint16_t port, int receiveBuffer = 0) {
        socket_ = TcpSocket::openStream();
        if (receiveBuffer > 0) {
            socket_.setReceiveBufferSize(receiveBuffer);
        }
        if (source && !socket_.bindLocal(*source)) {
            return false;
        }
        if (!socket_.valid() || socket_.connect(Ipv4Address::loopback(), port) != ConnectStatus::Connected) {
            return false;
        }
        socket_.setNoDelay(true);
        return true;
    }
    // Connects and reads the Welcome; the player number, or 0 when none came.
    std::uint8_t join(std::uint16_t port, int receiveBuffer = 0) {
        if (!connect(port, receiveBuffer)) {
            return 0;
        }
        std::optional<PacketRecord> welcome = next(2000ms, /*skipTicks=*/false);
        number_ = (welcome && welcome->msgType() == MsgType::Welcome) ? welcome->header.sender : 0;
        return number_;
    }
    std::uint8_t number() const { return number_; }
    TcpSocket& socket() { return socket_; }

    // The local address to connect from (another loopback address, say); the system's choice if unset.
    std::optional<Ipv4Address> source;

    void send(const PacketRecord& record) { ASSERT_TRUE(socket_.sendAll(record.wireBytes())); }
    void sendJoin(const std::string& name) {
        PlayerInfo info;
        info.energy = 100;
        info.x = 120;
        info.y = 240;
        info.name = makeNameField(name);
        send(makePlayerInfoPacket(number_, MsgType::Join, info));
    }

    // The next packet, Ticks skipped unless asked for; nothing when none arrives in time or
    // the server closed the connection.
    std::optional<PacketRecord> next(std::chrono::milliseconds timeout = 2000ms, bool skipTicks = true) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            std::optional<PacketRecord> record = incoming_.next(std::max(left, 0ms));
            if (!record || !skipTicks || record->msgType() != MsgType::Tick) {
                return record;
            }
        }
    }
    // Every packet but Ticks that arrives until `quiet` passes without one.
    std::vector<PacketRecord> drain(std::chrono::milliseconds quiet = 150ms) {
        std::vector<PacketRecord> packets;
        while (std::optional<PacketRecord> record = next(quiet)) {
            packets.push_back(*record);
        }
        return packets;
    }
    // True when the server closes the connection within `timeout`; what came before is kept.
    bool closedByServer(std::chrono::milliseconds timeout = 2000ms) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (incoming_.receive(10ms) && std::chrono::steady_clock::now() < deadline) {
        }
        return incoming_.closed();
    }
    // The packets read but not yet taken, Ticks left out.
    std::vector<PacketRecord> receivedSoFar() {
        std::vector<PacketRecord> packets;
        while (std::optional<PacketRecord> record = incoming_.queue().takeFront()) {
            if (record->msgType() != MsgType::Tick) {
                packets.push_back(*record);
            }
        }
        return packets;
    }

private:
    TcpSocket socket_;
    PacketReader incoming_{socket_};
    std::uint8_t number_ = 0;
};

// A whole server in this process on a free loopback port, its main loop on a thread.
class ServerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ServerOptions options;
        options.playerSendBuffer = playerSendBuffer;
        options.playerBacklogBound = playerBacklogBound;
        options.connections = connections;
        options.input = input;
        options.port = 0;
        options.bindAddress = Ipv4Address::loopback();
        options.closingPause = 0ms;
        server = std::make_unique<Server>(options);
        server->log().setListener([this](std::string_view line) {
            std::lock_guard lock(listenerMutex);
            if (onLogLine) {
                onLogLine(line);
            }
        });
        ASSERT_TRUE(server->start());
        port = server->port();
        loop = std::thread([this] {
            while (!server->exitRequested()) {
                server->pollNetwork(50);
            }
        });
    }
    void TearDown() override {
        server->requestExit();
        loop.join();
        server.reset();
    }

    // Connects `count` clients, asserting each gets the next number.
    std::vector<std::unique_ptr<TestClient>> connectClients(int count) {
        std::vector<std::unique_ptr<TestClient>> clients;
        for (int i = 0; i < count; ++i) {
            clients.push_back(std::make_unique<TestClient>());
            EXPECT_NE(clients.back()->join(port), 0);
        }
        return clients;
    }
    bool logHas(std::string_view text) const {
        for (const std::string& line : server->log().lines()) {
            if (line == text) {
                return true;
            }
        }
        return false;
    }
    // Waits until `condition` holds (polling every millisecond) or two seconds pass.
    static bool eventually(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + 2s;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
    std::vector<std::uint8_t> playerNumbers() const {
        std::vector<std::uint8_t> numbers;
        for (const PlayerListRow& row : server->status().snapshot().players) {
            numbers.push_back(row.number);
        }
        return numbers;
    }

    int playerSendBuffer = 0;  // the system's sizing unless a test sets it before SetUp
    std::size_t playerBacklogBound = 0;  // the server's own choice unless a test sets it
    // Tests open many connections from this one machine: no per-address limit unless a test
    // sets one before SetUp.
    ConnectionLimits connections{.maxPlayers = PlayerTable::kLastNumber, .maxPerAddress = 0};
    InputLimits input;
    std::unique_ptr<Server> server;
    std::uint16_t port = 0;
    std::thread loop;
    std::mutex listenerMutex;
    std::function<void(std::string_view)> onLogLine;  // set under listenerMutex
};

}  // namespace kestrane::testing
