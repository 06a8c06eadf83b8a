// Status queries on the server's side: answers no larger than their queries, rate limits,
// and a query that costs no player number and leaves no trace.
#include <gtest/gtest.h>

#include "server/status_query.h"
#include "server/status_responder.h"
#include "test_client.h"

namespace kestrane::testing {
namespace {

TEST(StatusResponder, AnswerIsNeverLargerThanItsQueryAndMalformedOnesGetNone) {
    ServerStatus status;
    status.setServerName("Hall");
    std::vector<PlayerListRow> rows;
    for (int number = 1; number <= 255; ++number) {
        rows.push_back({static_cast<std::uint8_t>(number), std::string(30, 'x')});  // the longest names there are
    }
    status.setPlayers(rows);
    StatusResponder responder(status, 255, 42);
    double now = 0;
    const Ipv4Address from{{10, 0, 0, 9}};

    for (const bool wantPlayers : {false, true}) {
        for (const std::size_t size : {kStatusQuerySize, std::size_t{257}, std::size_t{1500}, kStatusMaxDatagram}) {
            now += 1;  // clear of the rate limit
            const Bytes query = encodeStatusQuery({static_cast<std::uint32_t>(size), wantPlayers}, size);
            const std::optional<Bytes> answer = responder.answerFor(query, from, now);
            ASSERT_TRUE(answer) << size;
            EXPECT_LE(answer->size(), query.size()) << size;
            const StatusAnswer read = decodeStatusAnswer(*answer).value();
            EXPECT_EQ(read.token, size);
            EXPECT_EQ(read.instance, 42u);
            EXPECT_EQ(read.name, "Hall");
            EXPECT_EQ(read.players, 255);
            EXPECT_EQ(read.limit, 255);
            EXPECT_EQ(read.hasPlayerList, wantPlayers);
            EXPECT_EQ(read.listCut, wantPlayers && size < kStatusMaxDatagram);
        }
    }
    Bytes shortQuery = encodeStatusQuery({1, false});
    shortQuery.pop_back();
    Bytes otherVersion = encodeStatusQuery({1, false});
    otherVersion[4] = 2;
    for (const Bytes& bad : {shortQuery, otherVersion, Bytes(kStatusMaxDatagram + 1, 0), Bytes{}}) {
        EXPECT_FALSE(responder.answerFor(bad, from, now += 1));
    }
}

TEST(StatusResponder, AnswersPerSourceAndInAllAreRateLimited) {
    AnswerRateLimit limit;
    const Ipv4Address one{{10, 0, 0, 1}};
    const Ipv4Address two{{10, 0, 0, 2}};
    int answered = 0;
    while (limit.allow(one, 5.0)) {
        ++answered;
    }
    EXPECT_EQ(answered, AnswerRateLimit::kBurst);
    EXPECT_TRUE(limit.allow(two, 5.0));      // another source has its own allowance
    EXPECT_FALSE(limit.allow(one, 5.05));  // half an answer earned back
    EXPECT_TRUE(limit.allow(one, 5.25));   // two and a half
    EXPECT_TRUE(limit.allow(one, 5.25));
    EXPECT_FALSE(limit.allow(one, 5.25));

    // Many sources at once: the total cap holds them back, forged addresses or not.
    AnswerRateLimit crowd;
    int total = 0;
    for (std::uint32_t source = 0; source < 1000; ++source) {
        const Ipv4Address address{{10, 1, static_cast<std::uint8_t>(source >> 8), static_cast<std::uint8_t>(source)}};
        total += crowd.allow(address, 1.0) ? 1 : 0;
    }
    EXPECT_EQ(total, AnswerRateLimit::kTotalBurst);
}

class StatusQueries : public ServerFixture {};

TEST_F(StatusQueries, CostNoPlayerNumberAndLeaveNoTrace) {
    const std::uint16_t udpPort = server->statusResponder().ports()[0];
    ASSERT_EQ(udpPort, port);  // the status port has the game port's number
    const std::vector<std::string> linesBefore = server->log().lines();

    for (int i = 0; i < 5; ++i) {
        const std::optional<StatusReply> reply = queryServerStatus({Ipv4Address::loopback(), udpPort}, i % 2 == 0);
        ASSERT_TRUE(reply) << i;
        EXPECT_EQ(reply->answer.players, 0);
        EXPECT_EQ(reply->answer.limit, 255);
        EXPECT_EQ(reply->answer.port, port);
        EXPECT_EQ(reply->answer.name, server->status().snapshot().serverName);
        EXPECT_EQ(reply->from.address, Ipv4Address::loopback());
    }
    // Malformed datagrams get nothing, and neither do they count for anything.
    UdpSocket junk = UdpSocket::open();
    ASSERT_TRUE(junk.bind(0, Ipv4Address::loopback()));
    for (const Bytes& bad : {Bytes{0xAA, 1, 1, 0}, Bytes(300, 0xAA), Bytes(kStatusMaxDatagram * 2, 0)}) {
        junk.sendTo(bad, {Ipv4Address::loopback(), udpPort});
    }
    EXPECT_FALSE(junk.waitReadable(200));

    EXPECT_EQ(server->log().lines(), linesBefore);
    EXPECT_EQ(server->status().snapshot().playerCount, "0");
    // All 255 player numbers are still there.
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int number = 1; number <= 255; ++number) {
        clients.push_back(std::make_unique<TestClient>());
        ASSERT_EQ(clients.back()->join(port), number);
    }
    const std::optional<StatusReply> full = queryServerStatus({Ipv4Address::loopback(), udpPort}, true);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->answer.players, 255);
    EXPECT_EQ(full->answer.playerList.size(), 255u);
    EXPECT_EQ(full->answer.playerList.back().number, 255);
}

}  // namespace
}  // namespace kestrane::testing
