// The packet worker driven pass by pass with a fake clock, its players on socket pairs.
#include <gtest/gtest.h>

#include "common/stream_reader.h"
#include "server/packet_worker.h"

namespace kestrane {
namespace {

using Bytes = std::vector<std::uint8_t>;

class PacketWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 3; ++i) {
            auto pair = TcpSocket::pair();
            ASSERT_TRUE(pair);
            (*pair)[0].setNonBlocking(true);
            (*pair)[1].setNonBlocking(true);
            state.players.registerConnection(std::move((*pair)[0]));
            peers.push_back(std::move((*pair)[1]));
        }
    }
    // Everything player `number` has been sent so far, as header bytes and payload.
    std::vector<Bytes> receivedBy(int number) {
        PacketStreamReader reader;
        PacketQueue queue;
        readAvailablePackets(peers[number - 1], reader, queue);
        std::vector<Bytes> packets;
        while (std::optional<PacketRecord> packet = queue.takeFront()) {
            packets.emplace_back(packet->wireBytes().begin(), packet->wireBytes().end());
        }
        return packets;
    }

    double now = 100.0;
    ServerState state;
    PacketWorker worker{state, [this] { return now; }};
    std::vector<TcpSocket> peers;
};

TEST_F(PacketWorkerTest, TickGoesOutBeforeTheNextPacketWhenDueAndNeverSooner) {
    const Bytes tick{0xAA, 0, 10, 0};
    const Bytes stop{0xAA, 2, 7, 0};
    state.queue.push(makePacket(2, MsgType::Stop));
    state.queue.push(makePacket(2, MsgType::Stop));
    EXPECT_TRUE(worker.runPass());  // the first question is due
    EXPECT_EQ(receivedBy(1), (std::vector<Bytes>{tick, stop}));
    now += 0.01;
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

TEST_F(PacketWorkerTest, FailedRelayAnnouncesTheLeaveThenCarriesOn) {
    peers[0].close();
    peers[1].close();
    const PacketRecord chat = makePacket(3, MsgType::Chat, Bytes{'g', 'g'});
    worker.processRecord(chat);
    EXPECT_EQ(receivedBy(3), (std::vector<Bytes>{{0xAA, 1, 5, 0}, {0xAA, 2, 5, 0}, Bytes(chat.wireBytes().begin(),
                                                                                            chat.wireBytes().end())}));
    ASSERT_EQ(state.players.size(), 1u);
    EXPECT_EQ(state.log.lines(), (std::vector<std::string>{"[  ] 님이 나가셨습니다.", "[  ] 님이 나가셨습니다."}));
}

TEST_F(PacketWorkerTest, LostConnectionIsAnnouncedOnceAndLeaveIsNotEchoed) {
    worker.processRecord(makeConnectionLostNote(2));
    worker.processRecord(makeConnectionLostNote(2));  // already gone: nothing more
    EXPECT_EQ(receivedBy(1), (std::vector<Bytes>{{0xAA, 2, 5, 0}}));
    worker.processRecord(makePacket(3, MsgType::Leave));
    EXPECT_EQ(receivedBy(1), (std::vector<Bytes>{{0xAA, 3, 5, 0}}));
    EXPECT_EQ(receivedBy(3), (std::vector<Bytes>{{0xAA, 2, 5, 0}}));  // its own Leave is not sent back
    EXPECT_EQ(state.players.size(), 1u);
}

}  // namespace
}  // namespace kestrane
