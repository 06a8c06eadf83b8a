// A running server against what would have stopped it for good on a long run: one address
// holding every slot, a client flooding packets or Joins, a reader that stalls, a flood of
// invalid packets aimed at the log, and a connection that never says a word.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "server/server_texts.h"
#include "tests/server/test_client.h"

namespace kestrane::testing {
namespace {

long countLinesContaining(const std::vector<std::string>& lines, std::string_view text) {
    return std::count_if(lines.begin(), lines.end(),
                         [text](const std::string& line) { return line.find(text) != std::string::npos; });
}

class AddressLimits : public ServerFixture {
protected:
    void SetUp() override {
        connections = {.maxPlayers = 4, .maxPerAddress = 2};
        ServerFixture::SetUp();
    }
};

TEST_F(AddressLimits, OneAddressCannotTakeEverySlotAndRefusalsAreLoggedOnce) {
    TestClient first, second;
    ASSERT_EQ(first.join(port), 1);
    ASSERT_EQ(second.join(port), 2);
    for (int knock = 0; knock < 20; ++knock) {  // refused at once, without a byte
        TestClient surplus;
        ASSERT_TRUE(surplus.connect(port));
        EXPECT_TRUE(surplus.closedByServer());
        EXPECT_TRUE(surplus.receivedSoFar().empty());
    }
    TestClient elsewhere, elsewhereToo;
    elsewhere.source = elsewhereToo.source = Ipv4Address{{127, 0, 0, 2}};
    EXPECT_EQ(elsewhere.join(port), 3);  // the refusals used no number
    EXPECT_EQ(elsewhereToo.join(port), 4);
    TestClient overFull;  // a third address, but --max-players is reached
    overFull.source = Ipv4Address{{127, 0, 0, 3}};
    ASSERT_TRUE(overFull.connect(port));
    EXPECT_TRUE(overFull.closedByServer());

    const std::vector<std::string> lines = server->log().lines();
    EXPECT_EQ(countLinesContaining(lines, "Connection from 127.0.0.1 " + std::string(server_text::kRefusedAddressFull)), 1);
    EXPECT_EQ(countLinesContaining(lines, "Connection from 127.0.0.3 " + std::string(server_text::kRefusedServerFull)), 1);
    EXPECT_EQ(playerNumbers(), (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

// A small input budget, so a flood shows within a fraction of a second.
class InputFloods : public ServerFixture {
protected:
    void SetUp() override {
        input = {.packetsPerSecond = 200, .burst = 100, .removeAfterSeconds = 1, .joinRepeatSeconds = 5};
        ServerFixture::SetUp();
    }
};

TEST_F(InputFloods, FlooderIsCutToItsBudgetAndRemovedWhileASlowReaderStays) {
    TestClient reader, flooder;
    ASSERT_NE(reader.join(port, 4096), 0);
    ASSERT_NE(flooder.join(port), 0);
    // The honest player reads about 200 KB a second, a few KiB at a time.
    std::atomic<bool> reading{true};
    std::vector<PacketRecord> heard;
    std::thread slowReader([&] {
        while (reading) {
            for (const PacketRecord& packet : reader.drain(5ms)) {
                heard.push_back(packet);
            }
            std::this_thread::sleep_for(20ms);
        }
    });
    // The flooder says chat lines as fast as its socket takes them, and drains what comes back.
    const auto start = std::chrono::steady_clock::now();
    const PacketRecord line = makePacket(flooder.number(), MsgType::Chat, Bytes(48, 'f'));
    Bytes burst;
    for (int i = 0; i < 100; ++i) {
        burst.insert(burst.end(), line.wireBytes().begin(), line.wireBytes().end());
    }
    long said = 0;
    while (std::chrono::steady_clock::now() - start < 5s) {
        if (flooder.socket().send(burst, /*dontWait=*/true) > 0) {
            said += 100;
        } else if (flooder.closedByServer(5ms)) {
            break;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(eventually([&] { return playerNumbers() == std::vector<std::uint8_t>{reader.number()}; }));
    std::this_thread::sleep_for(200ms);
    reading = false;
    slowReader.join();

    const long relayed = std::count_if(heard.begin(), heard.end(), [&](const PacketRecord& p) {
        return p.msgType() == MsgType::Chat && p.header.sender == flooder.number();
    });
    EXPECT_GT(said, 10 * relayed) << "the flood was not much of one";
    EXPECT_GE(relayed, 100);  // the burst, at least
    EXPECT_LE(relayed, static_cast<long>(100 + 200 * seconds) + 20) << "over " << seconds << " s";
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(bytesOf(heard.back()), (Bytes{0xAA, flooder.number(), 5, 0}));  // announced as it left
    EXPECT_EQ(server->state().playersRemovedForFlooding.load(), 1u);
    EXPECT_GT(server->state().packetsDropped.load(), 0u);
    const std::vector<std::string> lines = server->log().lines();
    EXPECT_EQ(countLinesContaining(lines, server_text::kOverBudget), 1);
    EXPECT_EQ(countLinesContaining(lines, server_text::kRemovedOverBudget), 1);
    EXPECT_LT(lines.size(), 30u);
}

TEST_F(InputFloods, TenThousandJoinsFromOneConnectionAreRelayedOnce) {
    TestClient listener, joiner;
    ASSERT_NE(listener.join(port), 0);
    ASSERT_NE(joiner.join(port), 0);
    PlayerInfo info;
    info.name = makeNameField("again");
    const PacketRecord join = makePacket(joiner.number(), MsgType::Join, info.encode());
    Bytes joins;
    for (int i = 0; i < 10000; ++i) {
        joins.insert(joins.end(), join.wireBytes().begin(), join.wireBytes().end());
    }
    std::thread sending([&] { EXPECT_TRUE(joiner.socket().sendAll(joins)); });
    const PacketRecord stop = makePacket(joiner.number(), MsgType::Stop);
    std::vector<PacketRecord> heard;
    while (heard.empty() || heard.back().msgType() != MsgType::Stop) {  // the Stop said after them all
        if (heard.size() == 1) {
            sending.join();
            joiner.send(stop);
        }
        const std::optional<PacketRecord> packet = listener.next(5s);
        ASSERT_TRUE(packet) << "after " << heard.size() << " packets";
        heard.push_back(*packet);
    }
    EXPECT_EQ(heard.size(), 2u);  // one Join, the Stop
    EXPECT_EQ(heard.front().msgType(), MsgType::Join);
    EXPECT_EQ(server->state().packetsDropped.load(), 9999u);
    EXPECT_EQ(server->state().playersRemovedForFlooding.load(), 0u);  // dropped, but not over budget
    EXPECT_EQ(countLinesContaining(server->log().lines(), server_text::kRepeatedJoin), 1);
}

// Player sockets with small kernel buffers, so that a reader that stalls soon has bytes
// waiting in its backlog on the server.
class SlowReaders : public ServerFixture {
protected:
    void SetUp() override {
        playerSendBuffer = 4096;
        ServerFixture::SetUp();
    }
};

TEST_F(SlowReaders, ReaderThatStallsThenReadsGetsEverythingInOrder) {
    TestClient talker, staller;
    ASSERT_NE(talker.join(port), 0);
    ASSERT_NE(staller.join(port, 4096), 0);
    // 600 numbered lines (33 KB, several times what the kernel buffers hold) over 300 ms,
    // while the staller reads nothing.
    const auto stallEnds = std::chrono::steady_clock::now() + 300ms;
    std::uint16_t said = 0;
    for (int batch = 0; batch < 30; ++batch) {
        for (int i = 0; i < 20; ++i, ++said) {
            Bytes text(48, 's');
            writeU16(text.data(), said);
            talker.send(makePacket(talker.number(), MsgType::Chat, text));
        }
        talker.drain(5ms);
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(eventually([&] {
        std::lock_guard lock(server->state().playersMutex);
        const int index = server->state().players.findPlayer(staller.number());
        return index >= 0 && server->state().players[static_cast<std::size_t>(index)].backlog.size() > 8192;
    })) << "the stall never made the server hold bytes back";
    std::this_thread::sleep_until(stallEnds);

    std::vector<std::uint16_t> heard;
    while (heard.size() < said) {
        const std::optional<PacketRecord> packet = staller.next();
        ASSERT_TRUE(packet) << "after " << heard.size() << " lines";
        ASSERT_EQ(packet->msgType(), MsgType::Chat);
        heard.push_back(readU16(packet->payload.data()));
    }
    for (std::uint16_t i = 0; i < said; ++i) {
        ASSERT_EQ(heard[i], i);
    }
    EXPECT_EQ(playerNumbers(), (std::vector<std::uint8_t>{talker.number(), staller.number()}));
}

TEST_F(SlowReaders, FourMillionInvalidPacketsLeaveTheLogUnderAMegabyte) {
    std::atomic<std::size_t> logBytes{0};
    {
        std::lock_guard lock(listenerMutex);
        onLogLine = [&](std::string_view line) { logBytes += line.size() + 1; };
    }
    TestClient flooder;
    ASSERT_NE(flooder.join(port), 0);
    constexpr int kPackets = 4'000'000;
    constexpr int kPerWrite = 1 << 18;  // 1 MiB a write
    Bytes chunk;
    for (int i = 0; i < kPerWrite; ++i) {
        chunk.insert(chunk.end(), {kPacketMarker, flooder.number(), 200, 0});
    }
    std::thread sending([&] {
        for (int sent = 0; sent < kPackets; sent += kPerWrite) {
            const std::size_t packets = std::min(kPerWrite, kPackets - sent);
            ASSERT_TRUE(flooder.socket().sendAll(std::span(chunk).first(packets * kHeaderSize)));
        }
        flooder.send(makePacket(flooder.number(), MsgType::Stop));
    });
    // The echo of the Stop said after the flood: the server has read all of it.
    std::optional<PacketRecord> echo;
    while ((echo = flooder.next(30s)) && echo->msgType() != MsgType::Stop) {
    }
    sending.join();
    ASSERT_TRUE(echo);
    EXPECT_TRUE(eventually([&] { return invalidPacketsReported(server->log().lines()) == kPackets; }))
        << invalidPacketsReported(server->log().lines());
    EXPECT_LT(logBytes.load(), 1'000'000u);
    EXPECT_LT(logBytes.load(), 16'000u);  // in fact a few lines a second
    EXPECT_EQ(playerNumbers(), std::vector<std::uint8_t>{flooder.number()});
}

using SilentConnections = ServerFixture;

TEST_F(SilentConnections, DoNotHoldTheResumeBack) {
    TestClient silent;  // connected, never says a word
    ASSERT_NE(silent.join(port), 0);
    std::vector<std::unique_ptr<TestClient>> players;
    PlayerInfo state;
    state.energy = 100;
    for (int i = 0; i < 3; ++i) {
        players.push_back(std::make_unique<TestClient>());
        ASSERT_NE(players.back()->join(port), 0);
    }
    const auto joinAndWait = [&](TestClient& joiner) {
        joiner.sendJoin("p" + std::to_string(joiner.number()));
        const std::optional<PacketRecord> echo = joiner.next();
        ASSERT_TRUE(echo && echo->msgType() == MsgType::Join);
    };
    joinAndWait(*players[0]);
    joinAndWait(*players[1]);
    // Player 1 answers: with the silent connection counted, no Resume would ever come.
    players[0]->send(makePacket(players[0]->number(), MsgType::PlayerState, state.encode()));
    const auto sawResume = [](TestClient& client, std::chrono::milliseconds within) {
        for (auto deadline = std::chrono::steady_clock::now() + within; std::chrono::steady_clock::now() < deadline;) {
            const std::optional<PacketRecord> packet = client.next(50ms);
            if (packet && packet->msgType() == MsgType::Resume) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(sawResume(*players[1], 500ms));
    EXPECT_TRUE(sawResume(silent, 500ms));

    // Player 3 joins and player 2 never answers: the Resume comes about a second after the Join.
    players[2]->drain(50ms);
    const auto joinedAt = std::chrono::steady_clock::now();
    joinAndWait(*players[2]);
    players[0]->send(makePacket(players[0]->number(), MsgType::PlayerState, state.encode()));
    ASSERT_TRUE(sawResume(*players[2], 3000ms));
    const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - joinedAt).count();
    EXPECT_GE(waited, 0.9);
    EXPECT_LE(waited, 1.5);  // the deadline is 1 s after the server took the Join; loaded machines lag
}

}  // namespace
}  // namespace kestrane::testing
