// One bot against a stand-in server driven by hand: joining, echo timing, leaving, the server
// going away; the arrival clock; bot names.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "bots/bot.h"
#include "bots/bot_runner.h"
#include "common/protocol.h"
#include "platform/message_box.h"
#include "platform/poller.h"
#include "tests/support/packet_reader.h"

namespace kestrane {
namespace {

using namespace std::chrono_literals;

// A listening socket on loopback and the one connection it accepts, read and written by the test.
class HandServer {
public:
    HandServer() {
        listener_ = TcpSocket::openStream();
        EXPECT_TRUE(listener_.bindAndListen(0, 1, Ipv4Address::loopback()));
    }
    std::string address() const { return "127.0.0.1:" + std::to_string(listener_.localPort()); }

    // Connects `bot` and plays the server's side of the handshake with player number `number`.
    bool welcome(Bot& bot, std::uint8_t number, bool receiveThread = true) {
        auto joined =
            std::async(std::launch::async, [&] { return bot.connectAndJoin(address(), 2000, receiveThread); });
        if (!listener_.waitReadable(2000)) {
            return false;
        }
        peer_ = listener_.accept();
        send(makePacket(number, MsgType::Welcome));
        return joined.get();
    }
    void send(const PacketRecord& record) { EXPECT_TRUE(peer_.sendAll(record.wireBytes())); }
    // The packets in one write, as a relay hands a player a batch.
    void sendTogether(std::initializer_list<PacketRecord> records) {
        std::vector<std::uint8_t> bytes;
        for (const PacketRecord& record : records) {
            const auto wire = record.wireBytes();
            bytes.insert(bytes.end(), wire.begin(), wire.end());
        }
        EXPECT_TRUE(peer_.sendAll(bytes));
    }
    std::optional<PacketRecord> next(std::chrono::milliseconds timeout = 2000ms) { return incoming_.next(timeout); }
    void hangUp() { peer_.close(); }

private:
    TcpSocket listener_;
    TcpSocket peer_;
    testing::PacketReader incoming_{peer_};
};

// For a bot without a receive thread, what its driving thread does: waits at most `timeoutMs`
// for its socket and hands the bot what the wait found. False when nothing was found.
bool readOwnSocket(Bot& bot, int timeoutMs) {
    if (!bot.watchesSocket()) {
        return false;
    }
    const Readiness ready = waitForSocket(bot.session().socket(), bot.wantsToSend(), timeoutMs);
    if (ready.any()) {
        bot.serviceSocket(ready);
    }
    return ready.any();
}

// Runs passes of `bot` on this thread (reading its socket first when it has no receive thread)
// until `done` holds or two seconds pass.
bool drive(Bot& bot, const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        readOwnSocket(bot, 1);
        if (!bot.runPass(secondsSinceStart()) && !bot.watchesSocket()) {
            std::this_thread::sleep_for(1ms);
        }
    }
    return true;
}

// Connects `bot` as player `number` alone in the game: its own Join comes back and starts its world.
bool joinAlone(HandServer& server, Bot& bot, std::uint8_t number, bool receiveThread = true) {
    if (!server.welcome(bot, number, receiveThread)) {
        return false;
    }
    const std::optional<PacketRecord> join = server.next();
    if (!join) {
        return false;
    }
    server.send(*join);
    return drive(bot, [&] { return bot.phase() == BotPhase::Playing; });
}

TEST(Bot, JoinsWithItsNameAndASeededStartAndPlaysOnceItsJoinComesBack) {
    BotLog log;
    HandServer server;
    Bot bot(0, "tester", 42, log);
    ASSERT_TRUE(bot.loadArtwork(""));
    bot.brain().setPaused(true);
    ASSERT_TRUE(server.welcome(bot, 7));
    EXPECT_EQ(bot.phase(), BotPhase::Joining);
    EXPECT_EQ(bot.label(), "tester (player 7)");

    const std::optional<PacketRecord> join = server.next();
    ASSERT_TRUE(join);
    ASSERT_EQ(join->msgType(), MsgType::Join);
    EXPECT_EQ(join->header.sender, 7);
    const PlayerInfo info = PlayerInfo::decode(join->payloadBytes());
    EXPECT_EQ(nameText(info.name), "tester");
    EXPECT_EQ(info.energy, 100);
    EXPECT_TRUE(info.x >= 100 && info.x < 500 && info.y >= 100 && info.y < 400) << info.x << ", " << info.y;

    // The start position follows the seed.
    auto startOf = [](std::uint64_t seed) {
        BotLog otherLog;
        HandServer otherServer;
        Bot other(0, "x", seed, otherLog);
        EXPECT_TRUE(otherServer.welcome(other, 1));
        const std::optional<PacketRecord> otherJoin = otherServer.next();
        const PlayerInfo otherInfo = PlayerInfo::decode(otherJoin ? otherJoin->payloadBytes() : std::span<const std::uint8_t>());
        return std::pair(otherInfo.x, otherInfo.y);
    };
    EXPECT_EQ(startOf(42), std::pair(info.x, info.y));
    EXPECT_NE(startOf(43), std::pair(info.x, info.y));

    server.send(*join);  // alone in the game: its own Join starts its world
    EXPECT_TRUE(drive(bot, [&] { return bot.phase() == BotPhase::Playing; }));
    EXPECT_FALSE(bot.worldStopped());
    EXPECT_EQ(bot.joinsSeen(), 1u);
    EXPECT_EQ(bot.playersKnown(), 1u);
}

// With its own receive thread a bot applies one packet a pass, as the client does; read by its
// driving thread, everything one read brought is applied in the next pass, and not before.
// Either way an echo is timed from the send to the moment its bytes were read, not applied.
TEST(Bot, TimesTheServersEchoOfItsOwnPacketsOnlyToTheirArrivalEitherWayItIsRead) {
    for (const bool receiveThread : {true, false}) {
        SCOPED_TRACE(receiveThread ? "receive thread" : "read by the driving thread");
        std::atomic<double> now{10.0};
        BotLog log;
        HandServer server;
        Bot bot(0, "tester", 1, log, [&now] { return now.load(); });
        bot.brain().setPaused(true);
        ASSERT_TRUE(joinAlone(server, bot, 4, receiveThread));
        EXPECT_EQ(bot.session().receiveThreadRunning(), receiveThread);

        bot.setMeasuring(true);
        now = 20.0;
        bot.session().sendSteer(static_cast<std::uint8_t>(SteerCode::Forward));
        const std::optional<PacketRecord> steer = server.next();
        ASSERT_TRUE(steer);
        const std::uint64_t appliedBefore = bot.counters().packetsApplied;
        now = 20.25;  // the moment the three arrive
        // Someone else's Stop: no echo of ours.
        server.sendTogether({makePacket(0, MsgType::Tick), makePacket(9, MsgType::Stop), *steer});
        if (receiveThread) {
            const auto deadline = std::chrono::steady_clock::now() + 2s;
            while (bot.session().queue().size() < 3) {
                ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the receive thread queued too little";
                std::this_thread::yield();
            }
        } else {
            ASSERT_TRUE(readOwnSocket(bot, 2000));
            EXPECT_EQ(bot.counters().packetsApplied, appliedBefore);  // read, not applied yet
        }
        now = 21.0;  // applied a good while later
        bot.runPass(21.0);
        EXPECT_EQ(bot.counters().packetsApplied - appliedBefore, receiveThread ? 1u : 3u);
        ASSERT_TRUE(drive(bot, [&] { return bot.counters().ownEchoes == 2; }));  // the Join, the Steer
        ASSERT_EQ(bot.echoLatenciesMs().size(), 1u);
        EXPECT_FLOAT_EQ(bot.echoLatenciesMs()[0], 250.0f);
        EXPECT_EQ(bot.counters().ticks, 1u);
    }
}

TEST(Bot, LeavingEndsWhenTheServerHangsUpAndAClosedGameIsLogged) {
    BotLog log;
    {
        HandServer server;
        Bot bot(0, "quitter", 1, log);
        bot.brain().setPaused(true);
        ASSERT_TRUE(joinAlone(server, bot, 2));

        bot.leave();
        EXPECT_EQ(bot.phase(), BotPhase::Leaving);
        const std::optional<PacketRecord> leave = server.next();
        ASSERT_TRUE(leave);
        EXPECT_EQ(leave->msgType(), MsgType::Leave);
        EXPECT_EQ(leave->header.sender, 2);
        server.hangUp();
        EXPECT_TRUE(drive(bot, [&] { return bot.phase() == BotPhase::Gone; }));
    }
    EXPECT_TRUE(log.lines().empty());  // an expected end says nothing

    HandServer server;
    Bot bot(0, "stayer", 1, log);
    bot.brain().setPaused(true);
    ASSERT_TRUE(server.welcome(bot, 3));
    ASSERT_TRUE(server.next());
    server.send(makePacket(0, MsgType::ServerClosing));
    EXPECT_TRUE(drive(bot, [&] { return bot.phase() == BotPhase::Gone; }));
    EXPECT_EQ(bot.counters().serverClosings, 1u);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "stayer (player 3): the server closed the game (or the connection was lost)");
}

TEST(Bot, ConnectionFailuresAreLogged) {
    BotLog log;
    MessageBoxCapture boxes;
    Bot bot(0, "lost", 1, log);
    TcpSocket closed = TcpSocket::openStream();
    ASSERT_TRUE(closed.bindAndListen(0, 1, Ipv4Address::loopback()));
    const std::string address = "127.0.0.1:" + std::to_string(closed.localPort());
    closed.close();  // nobody listens there any more
    EXPECT_FALSE(bot.connectAndJoin(address, 1000));
    EXPECT_EQ(bot.phase(), BotPhase::Idle);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.lines()[0].starts_with("lost: cannot connect to " + address)) << log.lines()[0];
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"Socket Connect Error"});
}

TEST(ArrivalClock, GivesEachRecordItsOwnArrivalWhicheverThreadIsFirst) {
    ArrivalClock clock;
    clock.notePush(1.0);
    clock.notePush(2.0);
    EXPECT_EQ(clock.takeFor(9.0), 1.0);
    EXPECT_EQ(clock.takeFor(9.0), 2.0);
    // The record is taken before its push was noted: it arrived "now", and the late note is
    // not mistaken for the next record's.
    EXPECT_EQ(clock.takeFor(3.0), 3.0);
    clock.notePush(3.5);
    clock.notePush(4.0);
    EXPECT_EQ(clock.takeFor(9.0), 4.0);
}

TEST(BotNames, PrefixAndNumberFitTwentyBytesWithoutSplittingACharacter) {
    EXPECT_EQ(botName("bot", 7), "bot7");
    const std::string hangul10 = "\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1\xB0\xA1";  // 20 bytes
    EXPECT_EQ(botName(hangul10, 12), hangul10.substr(0, 18) + "12");
    EXPECT_EQ(botName("a" + hangul10, 3), "a" + hangul10.substr(0, 18) + "3");
    EXPECT_EQ(botName("a" + hangul10, 12), "a" + hangul10.substr(0, 16) + "12");
}

}  // namespace
}  // namespace kestrane
