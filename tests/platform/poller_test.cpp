// The poller and the wake event: what a wait reports for stream and datagram sockets, and how
// the event is signalled, seen, waited on and reset.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <thread>

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

}  // namespace
}  // namespace kestrane
