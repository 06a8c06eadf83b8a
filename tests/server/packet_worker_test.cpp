// The packet worker driven pass by pass with a fake clock, its players on socket pairs.
#include <gtest/gtest.h>

#include "common/stream_reader.h"
#include "server/packet_worker.h"

namespace kestrane {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Connects `count` players to `state` on socket pairs; their far ends go to `peers`.
void connectPlayers(ServerState& state, int count, std::vector<TcpSocket>& peers) {
    for (int i = 0; i < count; ++i) {
        auto pair = TcpSocket::pair();
        ASSERT_TRUE(pair);
        (*pair)[0].setNonBlocking(true);
        (*pair)[1].setNonBlocking(true);
        state.players.registerConnection(std::move((*pair)[0]));
        peers.push_back(std::move((*pair)[1]));
    }
}

// Everything sent to the player on the far end `peer` so far, as header bytes and payload.
std::vector<Bytes> packetsOn(TcpSocket& peer) {
    PacketStreamReader reader;
    PacketQueue queue;
    readAvailablePackets(peer, reader, queue);
    std::vector<Bytes> packets;
    while (std::optional<PacketRecord> packet = queue.takeFront()) {
        packets.emplace_back(packet->wireBytes().begin(), packet->wireBytes().end());
    }
    return packets;
}

// A fake clock that moves on by `cost` after every reading, as sending to many players takes time.
struct CostlyClock {
    double now = 100.0;
    double cost = 0.0;
    double operator()() {
        const double reading = now;
        now += cost;
        return reading;
    }
};

class PacketWorkerTest : public ::testing::Test {
protected:
    void SetUp() override { connectPlayers(state, 3, peers); }
    // Handles `record` as a pass does.
    void handle(const PacketRecord& record) {
        state.queue.push(record);
        worker.runPass();
    }
    std::vector<Bytes> receivedBy(int number) { return packetsOn(peers[number - 1]); }

    CostlyClock clock;
    double& now = clock.now;  // seconds; moved by hand, and by the cost of every reading
    ServerState state;
    PacketWorker worker{state, [this] { return clock(); }};
    std::vector<TcpSocket> peers;
};

TEST(PacketWorkerTicks, FixedScheduleWithoutDriftOrBurstAndNeverUnderTheIntervalOnAnyConnection) {
    // Sending to many players takes time: while the worker passes, the clock moves on by
    // `cost` after every reading (two a player), several milliseconds a round in every other
    // round and a tenth of that in the rest. A relay goes out with every round and another
    // right after it, while a connection the last round reached late still waits for its Tick:
    // every connection must still get the same packets in the same order.
    CostlyClock clock;
    double& now = clock.now;
    double& cost = clock.cost;
    double passCost = 0;
    ServerState state;
    PacketWorker worker{state, [&] { return clock(); }};
    std::vector<TcpSocket> peers;
    for (int i = 0; i < 30; ++i) {
        auto pair = TcpSocket::pair();
        ASSERT_TRUE(pair);
        (*pair)[0].setNonBlocking(true);
        state.players.registerConnection(std::move((*pair)[0]));
        peers.push_back(std::move((*pair)[1]));
    }
    std::vector<std::vector<double>> handedOver(peers.size());  // per connection
    std::vector<std::size_t> ticksRead(peers.size(), 0);
    std::vector<std::string> order(peers.size());  // what each connection got: 'T' Tick, 'S' Stop
    auto pass = [&] {
        cost = passCost;
        worker.runPass();
        cost = 0;
        for (std::size_t i = 0; i < peers.size(); ++i) {
            const double at = state.players[i].lastTickAt;
            if (handedOver[i].empty() || handedOver[i].back() != at) {
                handedOver[i].push_back(at);
            }
        }
    };
    auto readFrom = [&](std::size_t i) {
        PacketStreamReader reader;
        PacketQueue queue;
        readAvailablePackets(peers[i], reader, queue);
        while (std::optional<PacketRecord> packet = queue.takeFront()) {
            const bool tick = packet->msgType() == MsgType::Tick;
            ticksRead[i] += tick ? 1 : 0;
            order[i] += tick ? 'T' : 'S';
        }
    };
    auto readTicks = [&] {
        for (std::size_t i = 0; i < peers.size(); ++i) {
            readFrom(i);
        }
    };
    const PacketRecord stop = makePacket(1, MsgType::Stop);
    // As the worker's thread does: sleep until due, waking a little late.
    auto sleepUntilDue = [&] { now += worker.secondsUntilDue() + 0.0002; };

    for (int round = 0; round < 1000; ++round) {
        passCost = round % 2 == 0 ? 0.0001 : 0.00001;
        state.queue.push(stop);
        pass();
        state.queue.push(stop);
        pass();
        while (worker.secondsUntilDue() < worker.secondsUntilTick()) {
            sleepUntilDue();  // a connection the last round reached late gets its Tick a little later
            pass();
        }
        sleepUntilDue();
        if (round % 10 == 9) {
            readTicks();  // before the socket pairs' buffers fill
        }
    }
    // The last Ticks may still be on their way where the pair is loopback TCP (Windows).
    for (std::size_t i = 0; i < peers.size(); ++i) {
        while (order[i].size() < 3000u && peers[i].waitReadable(2000)) {
            readFrom(i);
        }
    }
    for (std::size_t i = 0; i < peers.size(); ++i) {
        const std::vector<double>& times = handedOver[i];
        ASSERT_EQ(times.size(), 1000u);
        EXPECT_EQ(ticksRead[i], 1000u);
        for (std::size_t k = 1; k < times.size(); ++k) {
            ASSERT_GT(times[k] - times[k - 1], 0.05) << "connection " << i << ", Tick " << k;
        }
        // No drift by the time each round takes to send: only the wake-up's lateness.
        EXPECT_LT((times.back() - times.front()) / 999.0, 0.0505);
        EXPECT_EQ(order[i], order[0]) << "connection " << i;
    }
    EXPECT_EQ(order[0].size(), 3000u);

    // A stall of a second: one Tick at once, none made up, the next a full interval later.
    passCost = 0;
    now += 1.0;
    const std::size_t before = ticksRead[0];
    pass();
    pass();
    now += 0.02;
    pass();
    readTicks();
    EXPECT_EQ(ticksRead[0], before + 1);
    sleepUntilDue();
    pass();
    readTicks();
    EXPECT_EQ(ticksRead[0], before + 2);
    EXPECT_GT(handedOver[0].back() - handedOver[0][handedOver[0].size() - 2], 0.05);
}

TEST_F(PacketWorkerTest, TickGoesOutBeforeTheNextPacketWhenDueAndNeverSooner) {
    const Bytes tick{0xAA, 0, 10, 0};
    const Bytes stop{0xAA, 2, 7, 0};
    state.queue.push(makePacket(2, MsgType::Stop));
    EXPECT_TRUE(worker.runPass());  // the first question is due
    EXPECT_EQ(receivedBy(1), (std::vector<Bytes>{tick, stop}));
    now += 0.01;
    state.queue.push(makePacket(2, MsgType::Stop));
    EXPECT_TRUE(worker.runPass());
    EXPECT_FALSE(worker.runPass());
    EXPECT_EQ(receivedBy(1), (std::vector<Bytes>{stop}));
    EXPECT_NEAR(worker.secondsUntilTick(), 0.04, 1e-6);

    now += 0.04;  // exactly one interval: not yet
    EXPECT_FALSE(worker.runPass());
    EXPECT_TRUE(receivedBy(1).empty());
    now += 0.001;
    EXPECT_FALSE(worker.runPass());
    EXPECT_EQ(receivedBy(1), (std::vector<Bytes>{tick}));
    EXPECT_NEAR(worker.secondsUntilTick(), 0.05, 1e-6);
    now += 1.0;  // a late worker is due at once, with no ticks made up
    EXPECT_EQ(worker.secondsUntilTick(), 0.0);
    worker.runPass();
    worker.runPass();
    EXPECT_EQ(receivedBy(1), (std::vector<Bytes>{tick}));
}

TEST_F(PacketWorkerTest, TickTooSoonForOneConnectionWaitsThereWithWhatFollowsAndNobodyElseWaits) {
    const Bytes tick{0xAA, 0, 10, 0};
    const Bytes stop{0xAA, 2, 7, 0};
    const Bytes steer{0xAA, 3, 6, 1, 4};
    worker.runPass();  // the first round, at 100.0
    for (int n = 1; n <= 3; ++n) {
        receivedBy(n);
    }
    state.players[0].lastTickAt = 100.012;  // the first round reached player 1 late
    now = 100.051;
    handle(makePacket(2, MsgType::Stop));  // the second round, and a relay behind it
    EXPECT_TRUE(receivedBy(1).empty());
    EXPECT_EQ(receivedBy(2), (std::vector<Bytes>{tick, stop}));
    EXPECT_EQ(receivedBy(3), (std::vector<Bytes>{tick, stop}));
    EXPECT_NEAR(worker.secondsUntilDue(), 0.011, 1e-9);  // the worker wakes for player 1's Tick
    now = 100.055;
    handle(makePacket(3, MsgType::Steer, Bytes{4}));
    EXPECT_TRUE(receivedBy(1).empty());
    EXPECT_EQ(receivedBy(3), (std::vector<Bytes>{steer}));
    now = 100.062;  // exactly 50 ms after its last Tick: still too soon
    EXPECT_FALSE(worker.runPass());
    EXPECT_TRUE(receivedBy(1).empty());
    now = 100.0621;
    EXPECT_FALSE(worker.runPass());
    EXPECT_EQ(receivedBy(1), (std::vector<Bytes>{tick, stop, steer}));  // in everybody's order
    EXPECT_EQ(state.players[0].lastTickAt, now);
    EXPECT_EQ(worker.secondsUntilDue(), worker.secondsUntilTick());  // nothing waits any more
}

TEST_F(PacketWorkerTest, TicksWaitingSinceTheSameRoundAllGoInTheWakeWhereTheirWaitsEnd) {
    // The first round reached the players 3 ms apart and the second reaches them at once, so
    // all three wait, their waits ending 3 ms apart. Sending takes longer than that here: by
    // the time one has gone, the next one's wait is over too, and the same wake sends it.
    const Bytes tick{0xAA, 0, 10, 0};
    worker.runPass();
    for (int n = 1; n <= 3; ++n) {
        receivedBy(n);
        state.players[n - 1].lastTickAt = 100.010 + 0.003 * n;
    }
    now = 100.051;
    worker.runPass();  // the second round: too soon for all three
    EXPECT_NEAR(worker.secondsUntilDue(), 0.012, 1e-6);
    now = 100.0631;
    clock.cost = 0.004;
    EXPECT_FALSE(worker.runPass());
    clock.cost = 0.0;
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(receivedBy(n), std::vector<Bytes>{tick}) << "player " << n;
    }
    EXPECT_EQ(worker.secondsUntilDue(), worker.secondsUntilTick());
}

TEST_F(PacketWorkerTest, TickThatWaitedForRoomStartsItsIntervalWhenItGoesOut) {
    const Bytes tick{0xAA, 0, 10, 0};
    auto ticksIn = [&](int number) {
        std::size_t count = 0;
        for (std::vector<Bytes> got = receivedBy(number); const Bytes& packet : got) {
            count += packet == tick ? 1 : 0;
        }
        return count;
    };
    worker.runPass();  // the first round
    receivedBy(1);
    receivedBy(2);
    // Player 1 stops reading until its socket is full.
    const PacketRecord stop = makePacket(2, MsgType::Stop);
    while (!state.players[0].backlog.waitingForRoom()) {
        for (int i = 0; i < 256; ++i) {
            state.players.queueRelay(0, stop.wireBytes());
        }
        state.players.flushAll();
    }
    now += 0.051;
    worker.runPass();  // player 1's Tick waits in its backlog
    now += 0.03;
    while (!receivedBy(1).empty()) {
    }
    state.players.flushAll();  // room again: the network loop sends the rest, the Tick with it
    EXPECT_EQ(ticksIn(1), 1u);
    now += 0.025;  // the next round: 55 ms after the last one started, 25 ms after that Tick left
    worker.runPass();
    EXPECT_EQ(ticksIn(1), 0u);
    EXPECT_EQ(ticksIn(2), 2u);
    now += 0.026;
    worker.runPass();
    EXPECT_EQ(ticksIn(1), 1u);
}

TEST_F(PacketWorkerTest, FailedRelayAnnouncesTheLeaveThenCarriesOn) {
    worker.runPass();  // the first Tick
    receivedBy(3);
    peers[0].close();
    peers[1].close();
    const PacketRecord chat = makePacket(3, MsgType::Chat, Bytes{'g', 'g'});
    handle(chat);
    EXPECT_EQ(receivedBy(3), (std::vector<Bytes>{Bytes(chat.wireBytes().begin(), chat.wireBytes().end()),
                                                 {0xAA, 1, 5, 0},
                                                 {0xAA, 2, 5, 0}}));
    ASSERT_EQ(state.players.size(), 1u);
    EXPECT_EQ(state.log.lines(), (std::vector<std::string>{"[  ] 님이 나가셨습니다.", "[  ] 님이 나가셨습니다."}));
}

TEST_F(PacketWorkerTest, LostConnectionIsAnnouncedOnceAndLeaveIsNotEchoed) {
    worker.runPass();  // the first Tick
    receivedBy(1);
    receivedBy(3);
    handle(makeConnectionLostNote(2));
    handle(makeConnectionLostNote(2));  // already gone: nothing more
    EXPECT_EQ(receivedBy(1), (std::vector<Bytes>{{0xAA, 2, 5, 0}}));
    handle(makePacket(3, MsgType::Leave));
    EXPECT_EQ(receivedBy(1), (std::vector<Bytes>{{0xAA, 3, 5, 0}}));
    EXPECT_EQ(receivedBy(3), (std::vector<Bytes>{{0xAA, 2, 5, 0}}));  // its own Leave is not sent back
    EXPECT_EQ(state.players.size(), 1u);
}

TEST(PacketWorkerBatches, BatchDueWhileTheRoundWouldStillBeFlushingGoesOutWithTheRound) {
    // A record queued `lead` seconds before the second round, after a first round whose flush
    // took over a millisecond (the clock moves on at every reading while it sends).
    struct Case {
        double lead;
        bool carried;
    };
    const Case cases[] = {{0.01, false}, {0.003, false}, {0.0003, true}, {0.00001, true}, {0.0, true}};
    const PacketRecord stop = makePacket(1, MsgType::Stop);
    const PacketRecord tick = makePacket(0, MsgType::Tick);
    const Bytes stopBytes(stop.wireBytes().begin(), stop.wireBytes().end());
    const Bytes tickBytes(tick.wireBytes().begin(), tick.wireBytes().end());
    for (const Case& c : cases) {
        CostlyClock clock{100.0, 0.0002};
        double& now = clock.now;
        ServerState state;
        PacketWorker worker{state, [&] { return clock(); }};
        std::vector<TcpSocket> peers;
        connectPlayers(state, 3, peers);
        auto received = [&] { return packetsOn(peers[2]); };
        worker.runPass();  // the first round
        clock.cost = 0.0;
        EXPECT_EQ(received(), std::vector<Bytes>{tickBytes});
        now = 100.05 - c.lead;
        state.queue.push(stop);
        EXPECT_TRUE(worker.runPass());
        if (!c.carried) {
            EXPECT_EQ(received(), std::vector<Bytes>{stopBytes}) << "lead " << c.lead;
            continue;
        }
        EXPECT_TRUE(received().empty()) << "lead " << c.lead;
        EXPECT_EQ(worker.secondsUntilDue(), worker.secondsUntilTick()) << "lead " << c.lead;
        now = 100.053;  // late enough for every player's Tick, however late the first reached it
        EXPECT_FALSE(worker.runPass());  // the round
        EXPECT_EQ(received(), (std::vector<Bytes>{stopBytes, tickBytes})) << "lead " << c.lead;
    }
}

}  // namespace
}  // namespace kestrane

namespace kestrane {
namespace {

TEST(PacketWorkerBatches, CrowdedServerSpacesItsFlushesButNoRecordWaitsLongerThanTheGap) {
    EXPECT_EQ(PacketWorker::flushGap(PacketWorker::kSpreadFromPlayers), 0.0);
    EXPECT_NEAR(PacketWorker::flushGap(255), 191 * PacketWorker::kFlushGapPerPlayer, 1e-12);
    double now = 100.0;
    ServerState state;
    PacketWorker worker{state, [&] { return now; }};
    std::vector<TcpSocket> peers;
    connectPlayers(state, 100, peers);
    const double gap = PacketWorker::flushGap(100);
    EXPECT_NEAR(gap, 36 * PacketWorker::kFlushGapPerPlayer, 1e-12);
    auto typesAt = [&](std::size_t peer) {
        PacketStreamReader reader;
        PacketQueue queue;
        readAvailablePackets(peers[peer], reader, queue);
        std::string types;
        while (std::optional<PacketRecord> packet = queue.takeFront()) {
            types += packet->msgType() == MsgType::Tick ? 'T' : 'S';
        }
        return types;
    };
    worker.runPass();  // the first round: a flush
    EXPECT_EQ(typesAt(0), "T");
    EXPECT_EQ(typesAt(99), "T");
    state.queue.push(makePacket(1, MsgType::Stop));
    EXPECT_TRUE(worker.runPass());
    EXPECT_EQ(typesAt(0), "");  // too soon after the last flush
    EXPECT_NEAR(worker.secondsUntilDue(), gap, 1e-12);
    now += gap / 2;
    state.queue.push(makePacket(1, MsgType::Stop));
    EXPECT_TRUE(worker.runPass());
    EXPECT_EQ(typesAt(99), "");
    now = 100.0 + gap;
    EXPECT_FALSE(worker.runPass());  // the gap is over: both go in one send
    EXPECT_EQ(typesAt(0), "SS");
    EXPECT_EQ(typesAt(99), "SS");
    EXPECT_EQ(worker.secondsUntilDue(), worker.secondsUntilTick());
    now += gap;
    state.queue.push(makePacket(1, MsgType::Stop));
    EXPECT_TRUE(worker.runPass());  // a gap after the last flush: at once
    EXPECT_EQ(typesAt(99), "S");
}

TEST_F(PacketWorkerTest, BusyQueueSharesSendsButKeepsEveryPacketInOrder) {
    worker.runPass();  // the first Tick
    receivedBy(1);
    std::vector<Bytes> sent;
    for (std::uint8_t i = 0; i < 10; ++i) {
        const PacketRecord steer = makePacket(2, MsgType::Steer, Bytes{i});
        state.queue.push(steer);
        sent.emplace_back(steer.wireBytes().begin(), steer.wireBytes().end());
    }
    for (int pass = 0; pass < 9; ++pass) {
        EXPECT_TRUE(worker.runPass());
    }
    EXPECT_TRUE(receivedBy(1).empty());  // held while more wait
    now += 0.06;
    EXPECT_TRUE(worker.runPass());  // the last one: everything goes, the Tick in its place
    sent.insert(sent.end() - 1, Bytes{0xAA, 0, 10, 0});
    EXPECT_EQ(receivedBy(1), sent);
}

}  // namespace
}  // namespace kestrane

namespace kestrane {
namespace {

TEST_F(PacketWorkerTest, ResumeWaitsOnlyForJoinedPlayersAndAtMostOneSecond) {
    const Bytes tick{0xAA, 0, 10, 0};
    const auto resumesTo = [&](int number) {
        std::vector<Bytes> got = receivedBy(number);
        std::erase_if(got, [&](const Bytes& packet) { return packet[2] != static_cast<std::uint8_t>(MsgType::Resume); });
        return got;
    };
    const auto say = [&](std::uint8_t number, MsgType type) {
        PlayerInfo info;
        info.energy = 100;
        handle(makePacket(number, type, info.encode()));
    };
    worker.runPass();  // the first Tick

    // Player 3 is connected and never says a word. Player 1 joins alone: nobody to wait for.
    say(1, MsgType::Join);
    EXPECT_TRUE(resumesTo(1).empty());
    EXPECT_EQ(worker.secondsUntilDue(), worker.secondsUntilTick());
    // Player 2 joins and player 1 answers: everyone who joined has answered, at once.
    say(2, MsgType::Join);
    say(1, MsgType::PlayerState);
    // Each Resume is that player's own, behind what went to everyone before it.
    const std::vector<Bytes> toThree = receivedBy(3);
    ASSERT_GE(toThree.size(), 2u);
    EXPECT_EQ(toThree[toThree.size() - 2][2], static_cast<std::uint8_t>(MsgType::PlayerState));
    EXPECT_EQ(toThree.back(), (Bytes{0xAA, 3, 3, 0}));
    for (std::uint8_t n = 1; n <= 2; ++n) {
        EXPECT_EQ(resumesTo(n), (std::vector<Bytes>{{0xAA, n, 3, 0}}));
    }

    // Player 3 joins; player 1 answers, player 2 never does: the Resume comes one second after the Join.
    say(3, MsgType::Join);
    const double joinedAt = now;
    say(1, MsgType::PlayerState);
    now = joinedAt + 0.999;
    worker.runPass();  // a Tick, no Resume yet
    EXPECT_TRUE(resumesTo(1).empty());
    EXPECT_NEAR(worker.secondsUntilDue(), 0.001, 1e-9);  // the worker wakes for it
    now = joinedAt + PacketWorker::kResumeWait;
    EXPECT_EQ(worker.secondsUntilDue(), 0.0);
    worker.runPass();
    for (std::uint8_t n = 1; n <= 3; ++n) {
        EXPECT_EQ(resumesTo(n), (std::vector<Bytes>{{0xAA, n, 3, 0}}));
    }
    now += 5;  // and only once
    worker.runPass();
    EXPECT_TRUE(resumesTo(2).empty());
}

}  // namespace
}  // namespace kestrane
