// Loopback sockets: listen, connect, refused connections, sends to a vanished peer.
#include <gtest/gtest.h>

#include <csignal>
#include <numeric>
#include <thread>

#include "platform/tcp_socket.h"

namespace kestrane {
namespace {

TEST(TcpSocket, ConnectsOnLoopbackAndReportsWaitingBytes) {
    TcpSocket listener = TcpSocket::openStream();
    ASSERT_TRUE(listener.valid());
    ASSERT_TRUE(listener.bindAndListen(0, 5, Ipv4Address::loopback()));
    const std::uint16_t port = listener.localPort();
    ASSERT_NE(port, 0);

    TcpSocket client = TcpSocket::openStream();
    ASSERT_TRUE(client.setNonBlocking(true));
    const ConnectStatus started = client.connect(Ipv4Address::loopback(), port);
    ASSERT_NE(started, ConnectStatus::Failed);
    EXPECT_EQ(client.checkConnect(2000), ConnectStatus::Connected);

    ASSERT_TRUE(listener.waitReadable(2000));
    TcpSocket server = listener.accept();
    ASSERT_TRUE(server.valid());
    const std::uint8_t hello[4] = {0xAA, 1, 0, 0};
    EXPECT_EQ(server.send(hello), 4);
    ASSERT_TRUE(client.waitReadable(2000));
    EXPECT_EQ(client.bytesWaiting().value_or(0), 4u);
    EXPECT_EQ(client.probePeer(), PeerStatus::Open);
}

TEST(TcpSocket, RefusedConnectionIsReportedWhenTheAttemptCompletes) {
    // Find a port nobody listens on: bind one, then close it.
    TcpSocket probe = TcpSocket::openStream();
    ASSERT_TRUE(probe.bindAndListen(0, 1, Ipv4Address::loopback()));
    const std::uint16_t port = probe.localPort();
    probe.close();

    TcpSocket client = TcpSocket::openStream();
    ASSERT_TRUE(client.setNonBlocking(true));
    ConnectStatus status = client.connect(Ipv4Address::loopback(), port);
    if (status == ConnectStatus::InProgress) {
        status = client.checkConnect(2000);
    }
    EXPECT_EQ(status, ConnectStatus::Failed);
}

TEST(TcpSocket, SendingToAClosedPeerFailsWithoutKillingTheProcess) {
    auto sockets = TcpSocket::pair();
    ASSERT_TRUE(sockets);
    auto& [a, b] = *sockets;
    b.close();
    ASSERT_TRUE(a.waitReadable(2000));  // the close has arrived
    EXPECT_EQ(a.probePeer(), PeerStatus::Closed);
    // A local pair fails the first send (EPIPE); a loopback TCP pair (Windows) may take it and
    // fail the next, once the peer's reset is back. Either way no SIGPIPE ends the process.
    const std::uint8_t bytes[4] = {0xAA, 0, 10, 0};
    long sent = 0;
    for (int attempt = 0; attempt < 3 && sent >= 0; ++attempt) {
        sent = a.send(bytes);
    }
    EXPECT_EQ(sent, -1);
}

TEST(TcpSocket, GatherSendKeepsThePiecesInOrderAndSkipsEmptyOnes) {
    auto sockets = TcpSocket::pair();
    ASSERT_TRUE(sockets);
    auto& [a, b] = *sockets;
    std::vector<std::uint8_t> ones(TcpSocket::kMaxSendPieces + 4);
    std::iota(ones.begin(), ones.end(), 1);
    std::vector<std::span<const std::uint8_t>> many;
    for (const std::uint8_t& byte : ones) {
        many.emplace_back(&byte, 1);
    }
    const std::vector<std::uint8_t> head{0xAA, 1}, tail{7, 0};
    const struct {
        std::vector<std::span<const std::uint8_t>> pieces;
        long sent;
        std::vector<std::uint8_t> read;
    } cases[] = {
        {{head, {}, tail, std::span(ones).first(1)}, 5, {0xAA, 1, 7, 0, 1}},
        {{{}, {}}, 0, {}},
        {many, static_cast<long>(TcpSocket::kMaxSendPieces),  // the first pieces only: a short send
         std::vector<std::uint8_t>(ones.begin(), ones.begin() + TcpSocket::kMaxSendPieces)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(a.sendPieces(c.pieces, /*dontWait=*/true), c.sent);
        std::vector<std::uint8_t> got(64);
        const long read = c.read.empty() ? 0 : b.receive(got, /*dontWait=*/true);
        got.resize(static_cast<std::size_t>(std::max(read, 0L)));
        EXPECT_EQ(got, c.read);
    }
    b.close();
    // A closed peer: the send fails at once, or (over loopback TCP) once the reset is back;
    // either way no SIGPIPE ends the process.
    long sent = 0;
    for (int attempt = 0; attempt < 3 && sent >= 0; ++attempt) {
        sent = a.sendPieces(std::vector<std::span<const std::uint8_t>>{head});
    }
    EXPECT_EQ(sent, -1);
}

TEST(TcpSocket, SecondListenerOnATakenPortFails) {
    TcpSocket first = TcpSocket::openStream();
    ASSERT_TRUE(first.setReuseAddress(true));
    ASSERT_TRUE(first.bindAndListen(0, 5));
    TcpSocket second = TcpSocket::openStream();
    ASSERT_TRUE(second.setReuseAddress(true));
    EXPECT_FALSE(second.bindAndListen(first.localPort(), 5));
}

TEST(Resolve, DottedAddressesAndLocalhostResolveWithoutTheNetwork) {
    EXPECT_EQ(resolveIpv4("127.0.0.1"), Ipv4Address::loopback());
    EXPECT_EQ(resolveIpv4("localhost"), Ipv4Address::loopback());
    EXPECT_FALSE(resolveIpv4("no-such-host.invalid"));
    EXPECT_FALSE(resolveIpv4(""));
    EXPECT_EQ(Ipv4Address::loopback().toString(), "127.0.0.1");
}

TEST(Resolve, InterfaceAddressesLeaveLoopbackOut) {
    for (const Ipv4Address& address : localInterfaceAddresses()) {
        EXPECT_FALSE(address.isLoopback()) << address.toString();
        EXPECT_NE(address, Ipv4Address{});
    }
}

}  // namespace
}  // namespace kestrane
