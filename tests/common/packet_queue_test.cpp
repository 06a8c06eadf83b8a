// The packet queue between a producing and a consuming thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "common/packet_queue.h"

namespace kestrane {
namespace {

PacketRecord numbered(std::uint32_t n) {
    std::uint8_t payload[4] = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                               static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
    return makePacket(1, MsgType::Chat, payload);
}

std::uint32_t numberOf(const PacketRecord& record) {
    return record.payload[0] | record.payload[1] << 8 | record.payload[2] << 16 |
           static_cast<std::uint32_t>(record.payload[3]) << 24;
}

TEST(PacketQueue, FrontIsACopyThatStaysUntilPopped) {
    PacketQueue queue;
    EXPECT_FALSE(queue.front());
    EXPECT_FALSE(queue.popFront());
    queue.push(numbered(1));
    queue.push(numbered(2));
    EXPECT_EQ(numberOf(*queue.front()), 1u);
    EXPECT_EQ(numberOf(*queue.front()), 1u);
    EXPECT_TRUE(queue.popFront());
    EXPECT_EQ(numberOf(*queue.takeFront()), 2u);
    EXPECT_TRUE(queue.empty());
}

TEST(PacketQueue, OneProducerOneConsumerUnderLoadKeepEveryRecordInOrder) {
    constexpr std::uint32_t kCount = 200000;
    PacketQueue queue;
    std::atomic<int> wakeups{0};
    queue.setPushListener([&] { wakeups.fetch_add(1, std::memory_order_relaxed); });
    std::thread producer([&] {
        for (std::uint32_t i = 0; i < kCount; ++i) {
            queue.push(numbered(i));
        }
    });
    std::uint32_t expected = 0;
    while (expected < kCount) {
        // The game's consumers copy the front, use it, then remove it.
        const auto record = queue.front();
        if (!record) {
            continue;
        }
        ASSERT_EQ(numberOf(*record), expected);
        ASSERT_TRUE(queue.popFront());
        ++expected;
    }
    producer.join();
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(wakeups.load(), static_cast<int>(kCount));
}

TEST(PacketQueue, WaitReturnsWhenARecordArrivesOrTheDeadlinePasses) {
    PacketQueue queue;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(queue.waitUntilNotEmpty(start + std::chrono::milliseconds(20)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));

    std::thread producer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        queue.push(numbered(5));
    });
    EXPECT_TRUE(queue.waitUntilNotEmpty(std::chrono::steady_clock::now() + std::chrono::seconds(10)));
    producer.join();
    EXPECT_EQ(queue.size(), 1u);
    queue.clear();
    EXPECT_TRUE(queue.empty());
}

}  // namespace
}  // namespace kestrane
