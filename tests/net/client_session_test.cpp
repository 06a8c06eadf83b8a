// The client's connection against small scripted servers on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "client/net/client_session.h"
#include "common/stream_reader.h"
#include "platform/message_box.h"
#include "tests/support/packet_reader.h"

namespace kestrane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// A listening socket on an ephemeral loopback port that accepts one client at a time.
class ScriptedServer {
public:
    ScriptedServer() {
        listener_ = TcpSocket::openStream();
        EXPECT_TRUE(listener_.bindAndListen(0, 5, Ipv4Address::loopback()));
    }
    std::uint16_t port() const { return listener_.localPort(); }
    std::string address() const { return "127.0.0.1:" + std::to_string(port()); }

    TcpSocket acceptClient() {
        EXPECT_TRUE(listener_.waitReadable(5000));
        return listener_.accept();
    }

private:
    TcpSocket listener_;
};

// Reads from `socket` until `count` bytes have come or 5 s have passed.
Bytes readBytes(TcpSocket& socket, std::size_t count) {
    Bytes bytes(count);
    std::size_t got = 0;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (got < count && std::chrono::steady_clock::now() < deadline) {
        if (!socket.waitReadable(100)) continue;
        const long n = socket.receive(std::span(bytes).subspan(got));
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

// Connects `session` to `server` through the same steps the login dialog takes.
TcpSocket connectSession(ClientSession& session, ScriptedServer& server) {
    EXPECT_TRUE(session.startNetwork());
    EXPECT_TRUE(session.connectToServer(server.address()));
    TcpSocket peer = server.acceptClient();
    EXPECT_EQ(session.pollConnection(5000), ConnectStatus::Connected);
    return peer;
}

TEST(ServerAddressText, AcceptsHostAloneOrWithAPort) {
    EXPECT_EQ(parseServerAddress("10.0.0.7")->port, kServerPort);
    EXPECT_EQ(parseServerAddress(" example.lan:6000 ")->host, "example.lan");
    EXPECT_EQ(parseServerAddress("example.lan:6000")->port, 6000);
    EXPECT_FALSE(parseServerAddress(""));
    EXPECT_FALSE(parseServerAddress(":5001"));
    EXPECT_FALSE(parseServerAddress("host:0"));
    EXPECT_FALSE(parseServerAddress("host:70000"));
    EXPECT_FALSE(parseServerAddress("host:12x"));
}

TEST(Connecting, UnknownHostIsReportedAndASecondAttemptWithAGoodAddressConnects) {
    MessageBoxCapture boxes;
    ScriptedServer server;
    ClientSession session;
    ASSERT_TRUE(session.startNetwork());
    EXPECT_FALSE(session.connectToServer("no-such-host.invalid"));
    EXPECT_EQ(boxes.shown(), (std::vector<std::pair<std::string, std::string>>{
                                 {"Orvane Works", "FIND Host Name Error In DNS"}}));

    EXPECT_TRUE(session.connectToServer(server.address()));
    TcpSocket peer = server.acceptClient();
    EXPECT_TRUE(peer.valid());
    EXPECT_EQ(session.pollConnection(5000), ConnectStatus::Connected);
    EXPECT_EQ(boxes.shown().size(), 1u);
}

TEST(Connecting, RefusedPortIsReportedAndLeavesTheSessionReadyToRetry) {
    MessageBoxCapture boxes;
    std::uint16_t closedPort = 0;
    {
        ScriptedServer gone;
        closedPort = gone.port();
    }
    ClientSession session;
    ASSERT_TRUE(session.startNetwork());
    const bool started = session.connectToServer("127.0.0.1:" + std::to_string(closedPort));
    if (started) {
        EXPECT_EQ(session.pollConnection(5000), ConnectStatus::Failed);
    }
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"Socket Connect Error"}));

    ScriptedServer server;
    EXPECT_TRUE(session.connectToServer(server.address()));
    TcpSocket peer = server.acceptClient();
    EXPECT_EQ(session.pollConnection(5000), ConnectStatus::Connected);
}

TEST(JoinHandshake, WelcomeNumberBecomesTheSenderOfTheJoin) {
    ScriptedServer server;
    ClientSession session;
    session.setPlayerName("Kim");
    TcpSocket peer = connectSession(session, server);
    ASSERT_TRUE(peer.sendAll(Bytes{0xAA, 7, 0, 0}));
    ASSERT_TRUE(session.joinGame());
    EXPECT_EQ(session.localPlayerNumber(), 7);

    const Bytes join = readBytes(peer, 36);
    ASSERT_EQ(join.size(), 36u);
    EXPECT_EQ(Bytes(join.begin(), join.begin() + 5), (Bytes{0xAA, 7, 1, 32, 100}));
    const PlayerInfo info = PlayerInfo::decode(std::span(join).subspan(4));
    EXPECT_GE(info.x, 100);
    EXPECT_LE(info.x, 499);
    EXPECT_GE(info.y, 100);
    EXPECT_LE(info.y, 399);
    EXPECT_EQ(info.direction, 0);
    EXPECT_EQ(info.motion, 0);
    EXPECT_EQ(nameText(info.name), "Kim");
}

TEST(JoinHandshake, WelcomeSplitAcrossSegmentsIsReadWhole) {
    ScriptedServer server;
    ClientSession session;
    TcpSocket peer = connectSession(session, server);
    std::thread slowServer([&] {
        peer.sendAll(Bytes{0xAA, 9});
        std::this_thread::sleep_for(20ms);
        peer.sendAll(Bytes{0, 0});
    });
    EXPECT_TRUE(session.joinGame([] { return StartPosition{150, 250}; }));
    slowServer.join();
    EXPECT_EQ(session.localPlayerNumber(), 9);
    const Bytes join = readBytes(peer, 36);
    ASSERT_EQ(join.size(), 36u);
    EXPECT_EQ(PlayerInfo::decode(std::span(join).subspan(4)).x, 150);
}

TEST(JoinHandshake, FailsOnAWrongMarkerAClosedConnectionOrASilentServer) {
    {
        ScriptedServer server;
        ClientSession session;
        TcpSocket peer = connectSession(session, server);
        peer.sendAll(Bytes{0x41, 1, 0, 0});
        EXPECT_FALSE(session.joinGame());
    }
    {
        ScriptedServer server;
        ClientSession session;
        TcpSocket peer = connectSession(session, server);
        peer.sendAll(Bytes{0xAA, 1});
        peer.close();  // the welcome never completes
        EXPECT_FALSE(session.joinGame());
        EXPECT_EQ(session.localPlayerNumber(), 0);
    }
    {
        ScriptedServer server;
        ClientSession session;
        TcpSocket peer = connectSession(session, server);
        EXPECT_FALSE(session.joinGame(randomStartPosition, 50));
    }
}

class SessionOnPair : public ::testing::Test {
protected:
    void SetUp() override {
        auto sockets = TcpSocket::pair();
        ASSERT_TRUE(sockets);
        // Buffers of a local pair's size, also where the pair is loopback TCP (Windows), whose
        // buffers grow to megabytes: a peer that stops reading fills them soon.
        (*sockets)[0].setSendBufferSize(64 * 1024);
        (*sockets)[1].setReceiveBufferSize(64 * 1024);
        session.adopt(std::move((*sockets)[0]), 3);
        peer = std::move((*sockets)[1]);
    }
    ClientSession session;
    TcpSocket peer;
};

TEST_F(SessionOnPair, SendsAreByteExact) {
    session.setPlayerName("abc");
    session.sendHeaderOnly(MsgType::Stop);
    session.sendSteer(6);
    session.sendHit(101);
    session.sendChat("hi");
    session.sendChat("");
    const Bytes expected{0xAA, 3, 7, 0,                                          // Stop
                         0xAA, 3, 6, 1, 6,                                       // Steer 6
                         0xAA, 3, 22, 2, 0x65, 0x00,                             // Hit 101
                         0xAA, 3, 4, 8, '[', 'a', 'b', 'c', ']', ' ', 'h', 'i',  // 12 bytes
                         0xAA, 3, 4, 6, '[', 'a', 'b', 'c', ']', ' '};           // 10 bytes
    EXPECT_EQ(readBytes(peer, expected.size()), expected);
}

TEST_F(SessionOnPair, LongChatLineIsCutToFiftyOneBytesOnAWholeCharacter) {
    session.setPlayerName(std::string(20, 'n'));
    std::string text;
    for (int i = 0; i < 25; ++i) text += "\xB0\xA1";  // 50 bytes of two-byte characters
    session.sendChat(text);

    const Bytes header = readBytes(peer, 4);
    ASSERT_EQ(header.size(), 4u);
    const std::size_t length = header[3];
    EXPECT_LE(length, kPayloadCapacity);
    // "[" + 20 + "] " = 23 bytes, then whole two-byte characters only: 23 + 2k <= 51.
    EXPECT_EQ(length, 51u);
    const Bytes line = readBytes(peer, length);
    EXPECT_EQ(line[22], ' ');
    EXPECT_EQ(line[length - 2], 0xB0);
    EXPECT_EQ(line[length - 1], 0xA1);

    session.setPlayerName(std::string(19, 'n'));  // now 22 + 2k: the 51st byte would split one
    session.sendChat(text);
    EXPECT_EQ(readBytes(peer, 4)[3], 50);
}

// A server that stops reading: sends never wait, what the socket cannot take waits in order,
// and a backlog past its bound ends the connection the way a vanished server does.
TEST_F(SessionOnPair, ServerThatStopsReadingNeitherBlocksNorReordersSends) {
    session.startReceiveThread();
    auto numbered = [](std::uint32_t n) {
        std::uint8_t payload[4];
        writeU32(payload, n);
        return makePacket(3, MsgType::Chat, payload);
    };
    std::uint32_t sent = 0;
    while (session.outgoingBytes() == 0 && sent < 100000) {
        session.sendPacket(numbered(sent++));
    }
    ASSERT_GT(session.outgoingBytes(), 0u) << "the socket never filled";
    for (int i = 0; i < 100; ++i) {
        session.sendPacket(numbered(sent++));  // behind the backlog, still in order
    }

    testing::PacketReader arrived(peer);
    std::uint32_t expected = 0;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (expected < sent && std::chrono::steady_clock::now() < deadline) {
        session.flushOutgoing();
        const std::optional<PacketRecord> record = arrived.next(10ms);
        if (record) {
            ASSERT_EQ(readU32(record->payload.data()), expected++);
        }
    }
    EXPECT_EQ(expected, sent);
    EXPECT_EQ(session.outgoingBytes(), 0u);
    EXPECT_TRUE(session.queue().empty());

    // Now it never reads again: the backlog grows to its bound, and the connection is lost.
    while (!session.sendingFailed() && sent < 200000) {
        session.sendPacket(numbered(sent++));
        ASSERT_LE(session.outgoingBytes(), kMaxOutgoingBytes + kRecordSize);
    }
    ASSERT_TRUE(session.sendingFailed());
    session.sendHeaderOnly(MsgType::Stop);  // goes nowhere now
    EXPECT_EQ(session.outgoingBytes(), 0u);
    session.queue().waitUntilNotEmpty(std::chrono::steady_clock::now() + 5s);
    ASSERT_EQ(session.queue().size(), 1u);
    EXPECT_EQ(session.queue().takeFront()->msgType(), MsgType::ServerClosing);
}

TEST_F(SessionOnPair, IdleReceiveThreadNeverReadsAndStopsPromptly) {
    session.startReceiveThread();
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(session.socket().receiveCalls(), 0u);
    const auto start = std::chrono::steady_clock::now();
    session.stopReceiveThread();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_FALSE(session.receiveThreadRunning());
}

TEST_F(SessionOnPair, ReceivedPacketsAreQueuedWholeAndInOrder) {
    session.startReceiveThread();
    peer.sendAll(Bytes{0xAA, 0, 10, 0, 0xAA, 4, 6});
    std::this_thread::sleep_for(30ms);
    peer.sendAll(Bytes{1, 2, 0xAA, 4, 7, 0});
    std::vector<PacketRecord> records;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (records.size() < 3 && std::chrono::steady_clock::now() < deadline) {
        session.queue().waitUntilNotEmpty(std::chrono::steady_clock::now() + 100ms);
        while (auto record = session.queue().takeFront()) records.push_back(*record);
    }
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].msgType(), MsgType::Tick);
    EXPECT_EQ(records[1].msgType(), MsgType::Steer);
    EXPECT_EQ(records[1].payload[0], 2);
    EXPECT_EQ(records[2].msgType(), MsgType::Stop);
}

TEST_F(SessionOnPair, VanishedServerQueuesOneServerClosing) {
    session.startReceiveThread();
    peer.sendAll(Bytes{0xAA, 0, 10, 0});
    peer.close();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (session.queue().size() < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    std::this_thread::sleep_for(50ms);  // nothing more may follow
    ASSERT_EQ(session.queue().size(), 2u);
    EXPECT_EQ(session.queue().takeFront()->msgType(), MsgType::Tick);
    const PacketRecord closing = *session.queue().takeFront();
    EXPECT_EQ(Bytes(closing.wireBytes().begin(), closing.wireBytes().end()), (Bytes{0xAA, 0, 11, 0}));
}

TEST_F(SessionOnPair, ServerThatSaidClosingIsNotAnnouncedTwice) {
    session.startReceiveThread();
    peer.sendAll(Bytes{0xAA, 0, 11, 0});
    peer.close();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (session.receiveThreadRunning() && session.queue().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(session.queue().size(), 1u);
}

}  // namespace
}  // namespace kestrane
