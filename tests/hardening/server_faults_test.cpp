// A running server under bad input and failing clients: garbage floods, a trickled header,
// an over-long payload, forged senders, every player number in use, clients killed in the
// middle of a packet, and a client that stops reading. Throughout, a chorus of healthy
// players checks that each of them hears every packet, once, in one shared order, and the
// server goes on taking players in afterwards.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>

#include "common/protocol.h"
#include "server/server_texts.h"
#include "tests/hardening/chorus.h"

namespace kestrane::testing {
namespace {

// The chorus speaks far faster than any player, so the input budget is lifted for it; the
// budget itself has tests of its own.
class ServerFaults : public ServerFixture {
protected:
    void SetUp() override {
        input.packetsPerSecond = 1e6;
        input.burst = 1e6;
        ServerFixture::SetUp();
    }
};

// The server is still there for the next player: a newcomer is greeted with a number.
void expectServerStillServes(std::uint16_t port) {
    TestClient newcomer;
    EXPECT_NE(newcomer.join(port), 0) << "the server no longer greets new players";
}

long invalidPacketsReported(Server& server) { return testing::invalidPacketsReported(server.log().lines()); }

// Random bytes; with `markers`, one byte in 64 is the packet marker followed by a sender
// other than `own`, so the server meets a stream of packets forged in other players' names.
Bytes garbage(std::size_t size, std::uint32_t seed, bool markers, std::uint8_t own) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(random());
        if (bytes[i] == kPacketMarker && !markers) {
            bytes[i] = 0x55;
        }
        if (markers && i + 1 < size && random() % 64 == 0) {
            bytes[i] = kPacketMarker;
            bytes[++i] = static_cast<std::uint8_t>(own + 1 + random() % 254);  // never `own`
        } else if (markers && i > 0 && bytes[i - 1] == kPacketMarker && bytes[i] == own) {
            bytes[i] = static_cast<std::uint8_t>(own + 1);
        }
    }
    return bytes;
}

TEST_F(ServerFaults, GarbageFloodsReachNobodyAndDisturbNobody) {
    Chorus chorus(port, 3);
    ASSERT_TRUE(chorus.ready());
    TestClient noise, forger;
    ASSERT_NE(noise.join(port), 0);
    ASSERT_NE(forger.join(port), 0);
    // Two megabytes each: bytes that never start a packet, and packets in other players' names.
    const Bytes noiseBytes = garbage(2 << 20, 1, /*markers=*/false, noise.number());
    const Bytes forgedBytes = garbage(2 << 20, 2, /*markers=*/true, forger.number());
    std::thread flooding([&] {
        EXPECT_TRUE(noise.socket().sendAll(noiseBytes));
        EXPECT_TRUE(forger.socket().sendAll(forgedBytes));
    });
    const bool sang = chorus.rounds(60);
    flooding.join();
    ASSERT_TRUE(sang);
    ASSERT_TRUE(chorus.rounds(5));  // after the flood as well
    chorus.expectEveryLineHeardInOrder();
    for (std::size_t m = 0; m < chorus.size(); ++m) {
        for (const PacketRecord& other : chorus.otherPackets(m)) {
            EXPECT_NE(other.header.sender, forger.number()) << "a forged packet was relayed";
        }
    }
    // The forgeries were seen and logged, but paced: a few lines a second, not one each.
    EXPECT_TRUE(logHas(server_text::kInvalidPacketLine));
    EXPECT_TRUE(eventually([&] { return invalidPacketsReported(*server) > 1000; }));
    EXPECT_LT(server->log().size(), 100u);
    expectServerStillServes(port);
}

TEST_F(ServerFaults, HeaderTrickledByteByByteArrivesWholeWhileOthersPlayOn) {
    Chorus chorus(port, 3);
    ASSERT_TRUE(chorus.ready());
    TestClient slow;
    ASSERT_NE(slow.join(port), 0);
    const Bytes hello = {'h', 'e', 'l', 'l', 'o'};
    const PacketRecord line = makePacket(slow.number(), MsgType::Chat, hello);
    const auto bytes = line.wireBytes();
    // One header byte every quarter of a second (a quarter of the pace of the slowest
    // connections worth thinking of, to keep the suite short); the game goes on in between.
    for (std::size_t i = 0; i < kHeaderSize; ++i) {
        ASSERT_EQ(slow.socket().send(bytes.subspan(i, 1)), 1);
        const auto resume = std::chrono::steady_clock::now() + 250ms;
        while (std::chrono::steady_clock::now() < resume) {
            ASSERT_TRUE(chorus.round());
        }
    }
    ASSERT_TRUE(slow.socket().sendAll(bytes.subspan(kHeaderSize)));
    ASSERT_TRUE(chorus.rounds(3));
    chorus.expectEveryLineHeardInOrder();
    for (std::size_t m = 0; m < chorus.size(); ++m) {
        const auto& others = chorus.otherPackets(m);
        ASSERT_EQ(others.size(), 1u) << "player " << int{chorus.numbers()[m]};
        EXPECT_EQ(bytesOf(others[0]), bytesOf(line));
    }
    expectServerStillServes(port);
}

TEST_F(ServerFaults, OverlongPayloadIsCutToTheRecordAndTheStreamStaysInStep) {
    Chorus chorus(port, 3);
    ASSERT_TRUE(chorus.ready());
    TestClient talker;
    ASSERT_NE(talker.join(port), 0);
    // 255 payload bytes, markers among them: only the length byte says where the packet ends.
    Bytes packet = {kPacketMarker, talker.number(), static_cast<std::uint8_t>(MsgType::Chat), 255};
    for (int i = 0; i < 255; ++i) {
        packet.push_back(i % 5 == 0 ? kPacketMarker : static_cast<std::uint8_t>(i));
    }
    const PacketRecord stop = makePacket(talker.number(), MsgType::Stop);
    for (int repeat = 0; repeat < 3; ++repeat) {
        ASSERT_TRUE(talker.socket().sendAll(packet));
        ASSERT_TRUE(talker.socket().sendAll(stop.wireBytes()));
        ASSERT_TRUE(chorus.rounds(5));
    }
    chorus.expectEveryLineHeardInOrder();
    Bytes cut(packet.begin(), packet.begin() + static_cast<std::ptrdiff_t>(kRecordSize));
    cut[3] = static_cast<std::uint8_t>(kPayloadCapacity);
    for (std::size_t m = 0; m < chorus.size(); ++m) {
        std::vector<Bytes> heard;
        for (const PacketRecord& other : chorus.otherPackets(m)) {
            heard.push_back(bytesOf(other));
        }
        const std::vector<Bytes> expected = {cut, bytesOf(stop), cut, bytesOf(stop), cut, bytesOf(stop)};
        EXPECT_EQ(heard, expected) << "player " << int{chorus.numbers()[m]};
    }
    expectServerStillServes(port);
}

TEST_F(ServerFaults, PacketsInOtherPlayersNamesAreDroppedAndLogged) {
    Chorus chorus(port, 3);
    ASSERT_TRUE(chorus.ready());
    TestClient impostor;
    ASSERT_NE(impostor.join(port), 0);
    const long before = invalidPacketsReported(*server);
    int forged = 0;
    for (const std::uint8_t victim : chorus.numbers()) {
        for (const MsgType type : {MsgType::Leave, MsgType::Chat, MsgType::Steer, MsgType::Stop, MsgType::PlayerState,
                                   MsgType::SetPosition, MsgType::Fire, MsgType::Hit, MsgType::Join}) {
            impostor.send(type == MsgType::Chat ? chorusLine(victim, 0) : makePacket(victim, type, Bytes(32, 7)));
            ++forged;
        }
        ASSERT_TRUE(chorus.round());
    }
    for (const MsgType type : {MsgType::Tick, MsgType::ServerClosing, MsgType::Resume, MsgType::Welcome}) {
        impostor.send(makePacket(0, type));  // the server's own messages
        ++forged;
    }
    ASSERT_TRUE(chorus.rounds(3));
    chorus.expectEveryLineHeardInOrder();
    for (std::size_t m = 0; m < chorus.size(); ++m) {
        EXPECT_TRUE(chorus.otherPackets(m).empty()) << "player " << int{chorus.numbers()[m]};
    }
    EXPECT_TRUE(eventually([&] { return invalidPacketsReported(*server) - before == forged; }))
        << invalidPacketsReported(*server) - before << " of " << forged;
    std::vector<std::uint8_t> everyone = chorus.numbers();
    everyone.push_back(impostor.number());
    EXPECT_EQ(playerNumbers(), everyone);
    expectServerStillServes(port);
}

TEST_F(ServerFaults, EveryNumberInUseThenTheNextConnectionIsRefusedAndAllPlayOn) {
    // 3 speakers and 252 listeners hold all 255 numbers at once.
    Chorus chorus(port, 3, 252);
    ASSERT_TRUE(chorus.ready());
    ASSERT_TRUE(eventually([&] { return server->status().snapshot().playerCount == "255"; }));
    TestClient refused;
    ASSERT_TRUE(refused.connect(port));
    EXPECT_TRUE(refused.closedByServer());
    EXPECT_TRUE(refused.receivedSoFar().empty());
    ASSERT_TRUE(chorus.rounds(4));
    chorus.expectEveryLineHeardInOrder();
    EXPECT_EQ(server->status().snapshot().playerCount, "255");
}

// Sends `part` of a packet, then ends the connection: with a normal close, or reset as when
// its process dies with data unread.
void dieMidPacket(TestClient& client, std::span<const std::uint8_t> part, bool reset) {
    ASSERT_TRUE(client.socket().sendAll(part));
    if (reset) {
        const linger abort{1, 0};
        setsockopt(client.socket().fd(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    client.socket().close();
}

TEST_F(ServerFaults, ClientsKilledInTheMiddleOfAPacketAreAnnouncedOnce) {
    Chorus chorus(port, 3);
    ASSERT_TRUE(chorus.ready());
    std::vector<std::uint8_t> dead;

    // A real process that dies by SIGKILL after the header and half the payload of a Join.
    const std::uint8_t killed = static_cast<std::uint8_t>(chorus.numbers().back() + 1);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TcpSocket socket = TcpSocket::openStream();
        std::uint8_t welcome[kHeaderSize];
        if (socket.connect(Ipv4Address::loopback(), port) == ConnectStatus::Connected &&
            socket.receive(welcome) == static_cast<long>(kHeaderSize)) {
            const PacketRecord join = makePacket(welcome[1], MsgType::Join, Bytes(32, 9));
            socket.sendAll(join.wireBytes().first(kHeaderSize + 16));
        }
        ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    dead.push_back(killed);
    const auto goneAndPlayOn = [&](std::uint8_t number) {
        ASSERT_TRUE(eventually([&] {
            const std::vector<std::uint8_t> in = playerNumbers();
            return std::find(in.begin(), in.end(), number) == in.end();
        })) << "player " << int{number} << " is still in the game";
        ASSERT_TRUE(chorus.rounds(3));
    };
    goneAndPlayOn(killed);

    // Ended by the client itself: inside the header, and inside the payload with a reset.
    TestClient closer, resetter;
    ASSERT_NE(closer.join(port), 0);
    ASSERT_NE(resetter.join(port), 0);
    const PacketRecord fire = makePacket(resetter.number(), MsgType::Fire, Bytes(kFirePayloadSize, 3));
    ASSERT_TRUE(chorus.rounds(2));
    const Bytes headerStart = {kPacketMarker, closer.number()};
    dieMidPacket(closer, headerStart, /*reset=*/false);
    dead.push_back(closer.number());
    goneAndPlayOn(closer.number());
    dieMidPacket(resetter, fire.wireBytes().first(kHeaderSize + 3), /*reset=*/true);
    dead.push_back(resetter.number());
    goneAndPlayOn(resetter.number());

    EXPECT_EQ(playerNumbers(), chorus.numbers());
    chorus.expectEveryLineHeardInOrder();
    for (std::size_t m = 0; m < chorus.size(); ++m) {
        EXPECT_EQ(chorus.leavesHeard(m), dead) << "player " << int{chorus.numbers()[m]};
        EXPECT_EQ(chorus.otherPackets(m).size(), dead.size()) << "a piece of a dead client's packet was relayed";
    }
    expectServerStillServes(port);
}

// Player sockets with a small send buffer, so that a client that stops reading fills it
// within a few hundred packets.
class StalledReader : public ServerFaults {
protected:
    void SetUp() override {
        playerSendBuffer = 8192;
        playerBacklogBound = 64 * 1024;
        ServerFaults::SetUp();
    }
};

TEST_F(StalledReader, IsRemovedAndAnnouncedWhileTheOthersGoOn) {
    Chorus chorus(port, 3);
    ASSERT_TRUE(chorus.ready());
    TestClient stalled;
    ASSERT_NE(stalled.join(port, 4096), 0);  // and never reads again
    int rounds = 0;
    while (chorus.leavesHeard(0).empty() && rounds < 5000) {
        ASSERT_TRUE(chorus.round());
        ++rounds;
    }
    ASSERT_TRUE(chorus.rounds(10));
    chorus.expectEveryLineHeardInOrder();
    for (std::size_t m = 0; m < chorus.size(); ++m) {
        EXPECT_EQ(chorus.leavesHeard(m), std::vector<std::uint8_t>{stalled.number()})
            << "player " << int{chorus.numbers()[m]} << " after " << rounds << " rounds";
    }
    EXPECT_EQ(playerNumbers(), chorus.numbers());
    EXPECT_TRUE(logHas("[  ] 님이 나가셨습니다."));
    // What the stalled client finds when it reads at last: the server has hung up.
    EXPECT_TRUE(stalled.closedByServer(5000ms));
    expectServerStillServes(port);
}

}  // namespace
}  // namespace kestrane::testing
