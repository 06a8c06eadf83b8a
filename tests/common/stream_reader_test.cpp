// Cutting byte streams into packets: stray bytes, any segmentation, over-long payloads, sockets.
#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

#include "common/stream_reader.h"

namespace kestrane {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<PacketRecord> drain(PacketQueue& queue) {
    std::vector<PacketRecord> records;
    while (auto record = queue.takeFront()) {
        records.push_back(*record);
    }
    return records;
}

Bytes sampleStream() {
    Bytes stream;
    auto append = [&](const PacketRecord& record) {
        const auto wire = record.wireBytes();
        stream.insert(stream.end(), wire.begin(), wire.end());
    };
    append(makePacket(1, MsgType::Stop));
    append(makePacket(2, MsgType::Steer, Bytes{6}));
    append(makePacket(3, MsgType::Chat, Bytes(40, 0xAA)));  // markers inside a payload are data
    append(makePacket(0, MsgType::Tick));
    append(makePacket(4, MsgType::Fire, Bytes{0, 0, 1, 1, 2, 2, 0, 3}));
    return stream;
}

void expectSameRecords(const std::vector<PacketRecord>& a, const std::vector<PacketRecord>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(Bytes(a[i].wireBytes().begin(), a[i].wireBytes().end()),
                  Bytes(b[i].wireBytes().begin(), b[i].wireBytes().end()))
            << "packet " << i;
    }
}

TEST(StreamReader, StrayBytesAreSkippedOneAtATime) {
    const Bytes stream{0x00, 0x13, 0xAA, 0x05, 0x07, 0x00};
    PacketStreamReader reader;
    PacketQueue queue;
    std::span<const std::uint8_t> rest(stream);
    std::vector<std::size_t> counts;
    while (!rest.empty()) {
        counts.push_back(reader.readPacket(rest, queue));
        rest = rest.subspan(counts.back());
    }
    EXPECT_EQ(counts, (std::vector<std::size_t>{1, 1, 4}));
    const auto records = drain(queue);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].header.sender, 5);
    EXPECT_EQ(records[0].msgType(), MsgType::Stop);
    EXPECT_EQ(records[0].header.length, 0);
}

TEST(StreamReader, AnySegmentationGivesExactlyThePacketsThatWentIn) {
    const Bytes stream = sampleStream();
    PacketQueue whole;
    PacketStreamReader().feed(stream, whole);
    const auto expected = drain(whole);
    ASSERT_EQ(expected.size(), 5u);

    {  // one byte at a time
        PacketStreamReader reader;
        PacketQueue queue;
        for (std::uint8_t byte : stream) {
            reader.feed(std::span(&byte, 1), queue);
        }
        expectSameRecords(drain(queue), expected);
        EXPECT_FALSE(reader.midPacket());
    }
    std::mt19937 random(1234);
    for (int trial = 0; trial < 200; ++trial) {  // random cuts
        PacketStreamReader reader;
        PacketQueue queue;
        std::size_t at = 0;
        while (at < stream.size()) {
            const std::size_t piece = std::min<std::size_t>(stream.size() - at, 1 + random() % 20);
            reader.feed(std::span(stream.data() + at, piece), queue);
            at += piece;
        }
        expectSameRecords(drain(queue), expected);
    }
}

TEST(StreamReader, OverlongPayloadKeepsFiftyOneBytesAndTheStreamInStep) {
    Bytes stream{0xAA, 9, 4, 200};
    for (int i = 0; i < 200; ++i) {
        stream.push_back(static_cast<std::uint8_t>(i < 51 ? 'a' + i % 26 : 0xAA));
    }
    const PacketRecord stop = makePacket(9, MsgType::Stop);
    stream.insert(stream.end(), stop.wireBytes().begin(), stop.wireBytes().end());

    PacketQueue queue;
    EXPECT_EQ(PacketStreamReader().feed(stream, queue), 2u);
    const auto records = drain(queue);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].msgType(), MsgType::Chat);
    EXPECT_EQ(records[0].header.length, 51);
    EXPECT_EQ(records[0].payload[0], 'a');
    EXPECT_EQ(records[0].payload[50], 'a' + 50 % 26);
    EXPECT_EQ(records[1].msgType(), MsgType::Stop);
    EXPECT_EQ(records[1].header.sender, 9);
}

class SocketReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto sockets = TcpSocket::pair();
        ASSERT_TRUE(sockets);
        local = std::move((*sockets)[0]);
        remote = std::move((*sockets)[1]);
    }
    void sendRaw(const Bytes& bytes) { ASSERT_TRUE(remote.sendAll(bytes)); }

    TcpSocket local, remote;
    PacketStreamReader reader;
    PacketQueue queue;
};

TEST_F(SocketReaderTest, IdleOpenConnectionIsNeverReadFrom) {
    for (int i = 0; i < 50; ++i) {
        const ReadResult result = readAvailablePackets(local, reader, queue);
        EXPECT_EQ(result.status, StreamStatus::Open);
        EXPECT_EQ(result.packets, 0u);
    }
    EXPECT_EQ(local.receiveCalls(), 0u);
}

TEST_F(SocketReaderTest, PacketSplitAcrossReadsIsCompleted) {
    sendRaw({0xAA, 3, 6});
    EXPECT_EQ(readAvailablePackets(local, reader, queue).packets, 0u);
    EXPECT_TRUE(reader.midPacket());
    sendRaw({1, 2});
    const ReadResult result = readAvailablePackets(local, reader, queue);
    EXPECT_EQ(result.packets, 1u);
    const auto records = drain(queue);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].msgType(), MsgType::Steer);
    EXPECT_EQ(records[0].payload[0], 2);
}

TEST_F(SocketReaderTest, ClosedPeerIsReportedAfterItsLastPackets) {
    sendRaw({0xAA, 2, 5, 0});
    remote.close();
    ReadResult result = readAvailablePackets(local, reader, queue);
    EXPECT_EQ(result.packets, 1u);
    if (result.status == StreamStatus::Open) {
        result = readAvailablePackets(local, reader, queue);
    }
    EXPECT_EQ(result.status, StreamStatus::Closed);
    EXPECT_EQ(drain(queue).size(), 1u);
}

TEST_F(SocketReaderTest, ManyPacketsFromAWriterThreadArriveInOrder) {
    constexpr int kCount = 5000;
    std::thread writer([this] {
        for (int i = 0; i < kCount; ++i) {
            std::uint8_t id[2];
            writeU16(id, static_cast<std::uint16_t>(i));
            const PacketRecord hit = makePacket(1, MsgType::Hit, id);
            remote.sendAll(hit.wireBytes());
        }
    });
    int next = 0;
    while (next < kCount) {
        local.waitReadable(1000);
        readAvailablePackets(local, reader, queue);
        while (auto record = queue.takeFront()) {
            ASSERT_EQ(readU16(record->payload.data()), next);
            ++next;
        }
    }
    writer.join();
}

}  // namespace
}  // namespace kestrane
