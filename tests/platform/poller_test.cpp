// The poller and the wake event: what a wait reports for stream and datagram sockets, and how
// the event is signalled, seen, waited on and reset.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <thread>
#include <vector>

#include "platform/poller.h"
#include "platform/tcp_socket.h"
#include "platform/udp_socket.h"
#include "platform/wake_event.h"

namespace kestrane {
namespace {

TEST(WakeEvent, StaysSignalledUntilResetAndWakesAWaitWithASocket) {
    WakeEvent event;
    ASSERT_GE(event.fd(), 0);
    EXPECT_FALSE(event.signalled());
    EXPECT_FALSE(event.wait(0));

    event.signal();
    event.signal();  // a second signal changes nothing
    EXPECT_TRUE(event.signalled());
    EXPECT_TRUE(event.wait(0));
    EXPECT_TRUE(event.signalled());  // waiting does not consume it
    event.reset();
    EXPECT_FALSE(event.signalled());
    event.reset();  // resetting an unsignalled event is harmless
    EXPECT_FALSE(event.signalled());

    // A readable socket ends the wait too, but only the event makes it true.
    auto pair = TcpSocket::pair();
    ASSERT_TRUE(pair);
    const std::uint8_t byte[1] = {7};
    ASSERT_EQ((*pair)[1].send(byte), 1);
    EXPECT_FALSE(event.wait(2000, (*pair)[0].fd()));

    // Signalled from another thread while this one waits without limit.
    std::thread signaller([&event] { event.signal(); });
    EXPECT_TRUE(event.wait(-1));
    signaller.join();
}

TEST(Poller, ReportsEachSocketsReadinessAndTheWakeEvent) {
    auto pair = TcpSocket::pair();
    ASSERT_TRUE(pair);
    TcpSocket& a = (*pair)[0];
    TcpSocket& b = (*pair)[1];
    UdpSocket datagrams = UdpSocket::open();
    ASSERT_TRUE(datagrams.bind(0, Ipv4Address::loopback()));
    UdpSocket sender = UdpSocket::open();
    WakeEvent event;
    const TcpSocket invalid;

    Poller poller;
    const auto rebuild = [&] {
        poller.clear();
        poller.setWakeEvent(&event);
        poller.add(a);                   // 0: reading
        poller.addForWriting(b);         // 1: writing
        poller.add(datagrams);           // 2: a datagram socket
        poller.add(invalid, true);       // 3: watched for nothing
    };
    rebuild();
    ASSERT_EQ(poller.size(), 4u);
    EXPECT_EQ(poller.wait(2000), 1);  // only b, which can take bytes
    EXPECT_FALSE(poller.readiness(0).any());
    EXPECT_TRUE(poller.readiness(1).writable);
    EXPECT_FALSE(poller.readiness(2).any());
    EXPECT_FALSE(poller.readiness(3).any());
    EXPECT_FALSE(poller.woken());

    const std::uint8_t bytes[3] = {1, 2, 3};
    ASSERT_EQ(b.send(bytes), 3);
    ASSERT_TRUE(sender.sendTo(bytes, {Ipv4Address::loopback(), datagrams.localPort()}));
    ASSERT_TRUE(datagrams.waitReadable(2000));
    rebuild();
    EXPECT_EQ(poller.wait(2000), 3);
    EXPECT_TRUE(poller.readiness(0).readable);
    EXPECT_TRUE(poller.readiness(2).readable);
    std::array<std::uint8_t, 8> buffer{};
    EXPECT_EQ(datagrams.receiveFrom(buffer).status, UdpReceive::Status::Datagram);
    EXPECT_EQ(a.receive(buffer), 3);

    // Only the event: no socket counts, and the wait says it was woken.
    event.signal();
    poller.clear();
    poller.setWakeEvent(&event);
    poller.add(a);
    EXPECT_EQ(poller.wait(-1), 0);
    EXPECT_TRUE(poller.woken());
    event.reset();

    // A closed peer reads as readable: the read that follows sees the end.
    b.close();
    poller.clear();
    poller.add(a);
    EXPECT_EQ(poller.wait(2000), 1);
    EXPECT_TRUE(poller.readiness(0).readable);
    EXPECT_EQ(a.receive(buffer), 0);
}

// A poller that keeps its set between waits must follow what each wait asks for: sockets that
// leave the set, a socket closed and another opened on the same descriptor number (the system
// hands out the lowest free one), interest in writing that comes and goes, one socket twice.
TEST(Poller, FollowsSocketsThatLeaveReturnAndReuseDescriptors) {
    std::vector<std::array<TcpSocket, 2>> pairs;
    for (int i = 0; i < 4; ++i) {
        auto pair = TcpSocket::pair();
        ASSERT_TRUE(pair);
        pairs.push_back(std::move(*pair));
    }
    const std::uint8_t byte[1] = {9};
    std::array<std::uint8_t, 8> buffer{};
    Poller poller;
    // Waits on the first socket of each listed pair for reading; which indices were readable.
    const auto readableOf = [&](std::initializer_list<int> watched) {
        poller.clear();
        for (const int pair : watched) {
            poller.add(pairs[static_cast<std::size_t>(pair)][0]);
        }
        const int ready = poller.wait(200);
        std::vector<std::size_t> readable;
        for (std::size_t i = 0; i < poller.size(); ++i) {
            if (poller.readiness(i).readable) {
                readable.push_back(i);
            }
        }
        EXPECT_EQ(static_cast<std::size_t>(ready), readable.size());
        return readable;
    };
    using Indices = std::vector<std::size_t>;

    EXPECT_EQ(readableOf({0, 1, 2, 3}), Indices{});
    ASSERT_EQ(pairs[2][1].send(byte), 1);
    EXPECT_EQ(readableOf({0, 1, 2, 3}), Indices{2});
    EXPECT_EQ(pairs[2][0].receive(buffer), 1);

    // Left out of a wait, a socket with bytes waiting is not reported, nor taken for another.
    ASSERT_EQ(pairs[1][1].send(byte), 1);
    ASSERT_EQ(pairs[3][1].send(byte), 1);
    EXPECT_EQ(readableOf({0, 2, 3}), Indices{2});
    EXPECT_EQ(pairs[3][0].receive(buffer), 1);
    EXPECT_EQ(readableOf({1, 0}), Indices{0});  // back in the set, at another index
    EXPECT_EQ(readableOf({0, 1, 2, 3}), Indices{1});
    EXPECT_EQ(pairs[1][0].receive(buffer), 1);

    // Closed, and a new pair opened, most likely on the same descriptor numbers.
    pairs[1][0].close();
    pairs[1][1].close();
    auto fresh = TcpSocket::pair();
    ASSERT_TRUE(fresh);
    pairs[1] = std::move(*fresh);
    EXPECT_EQ(readableOf({0, 1, 2, 3}), Indices{});
    ASSERT_EQ(pairs[1][1].send(byte), 1);
    EXPECT_EQ(readableOf({0, 1, 2, 3}), Indices{1});
    EXPECT_EQ(pairs[1][0].receive(buffer), 1);

    // Interest in writing, and one socket twice in a wait: each entry answers for itself.
    poller.clear();
    poller.add(pairs[0][0]);
    poller.addForWriting(pairs[0][0]);
    poller.add(pairs[2][0], /*forWriting=*/true);
    poller.add(pairs[3][0]);
    EXPECT_EQ(poller.wait(200), 2);
    EXPECT_FALSE(poller.readiness(0).any());
    EXPECT_TRUE(poller.readiness(1).writable);
    EXPECT_TRUE(poller.readiness(2).writable);
    EXPECT_FALSE(poller.readiness(3).any());
    // Asked for reading alone again, nothing is ready.
    EXPECT_EQ(readableOf({0, 2, 3}), Indices{});
    EXPECT_EQ(poller.wait(0), 0);
}

}  // namespace
}  // namespace kestrane
