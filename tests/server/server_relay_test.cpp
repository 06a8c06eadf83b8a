// A whole server in-process with real TCP clients on loopback: numbering, relay, joins,
// leaves, failed players, shot ids, the ready check, bad packets and the tick.
#include <gtest/gtest.h>

#include <algorithm>

#include "server/server_texts.h"
#include "test_client.h"

namespace kestrane::testing {
namespace {

std::vector<MsgType> typesOf(const std::vector<PacketRecord>& packets) {
    std::vector<MsgType> types;
    for (const PacketRecord& packet : packets) {
        types.push_back(packet.msgType());
    }
    return types;
}

using ServerRelay = ServerFixture;

TEST_F(ServerRelay, WelcomeIsTheFirstFourBytesAndNumbersAreNeverReused) {
    TestClient first;
    ASSERT_TRUE(first.connect(port));
    std::uint8_t welcome[4] = {};
    ASSERT_TRUE(first.socket().waitReadable(2000));
    ASSERT_EQ(first.socket().receive(welcome), 4);  // ticks may follow, never come before
    EXPECT_EQ(Bytes(welcome, welcome + 4), (Bytes{0xAA, 1, 0, 0}));
    EXPECT_TRUE(eventually([&] { return server->status().snapshot().playerCount == "1"; }));
    EXPECT_TRUE(logHas(server_text::kConnectLine));

    auto clients = connectClients(2);
    EXPECT_EQ(clients[0]->number(), 2);
    EXPECT_EQ(clients[1]->number(), 3);
    clients[0]->send(makePacket(2, MsgType::Leave));
    ASSERT_TRUE(eventually([&] { return playerNumbers() == std::vector<std::uint8_t>{1, 3}; }));
    EXPECT_EQ(server->status().snapshot().playerCount, "2");
    EXPECT_TRUE(logHas("[  ] 님이 나가셨습니다."));  // it left before its Join

    TestClient late;
    EXPECT_EQ(late.join(port), 4);
}

TEST_F(ServerRelay, LeaveReachesTheOthersButNotTheLeaver) {
    auto clients = connectClients(3);
    clients[1]->send(makePacket(2, MsgType::Leave));
    EXPECT_TRUE(clients[1]->closedByServer());
    EXPECT_TRUE(clients[1]->receivedSoFar().empty());
    for (int i : {0, 2}) {
        const std::optional<PacketRecord> leave = clients[i]->next();
        ASSERT_TRUE(leave);
        EXPECT_EQ(bytesOf(*leave), (Bytes{0xAA, 2, 5, 0}));
    }
}

TEST_F(ServerRelay, JoinGoesToEveryoneBeforeTheJoinLineIsWritten) {
    auto clients = connectClients(3);
    for (auto& client : clients) {
        client->drain(50ms);
    }
    // When the join line is written, every client must already hold the relayed Join.
    std::vector<std::size_t> waitingAtJoinLine;
    {
        std::lock_guard lock(listenerMutex);
        onLogLine = [&](std::string_view line) {
            if (line.ends_with(server_text::kJoinSuffix)) {
                for (auto& client : clients) {
                    waitingAtJoinLine.push_back(client->socket().bytesWaiting().value_or(0));
                }
            }
        };
    }
    clients[1]->sendJoin("Kim");
    ASSERT_TRUE(eventually([&] { return logHas("[ Kim ] 님이 들어오셨습니다."); }));
    {
        std::lock_guard lock(listenerMutex);
        onLogLine = nullptr;
        ASSERT_EQ(waitingAtJoinLine.size(), 3u);
    }
    for (std::size_t i = 0; i < clients.size(); ++i) {
        // Only the bytes that were there at the join line: they must hold the Join.
        std::vector<std::uint8_t> early(waitingAtJoinLine[i]);
        ASSERT_EQ(clients[i]->socket().receive(early), static_cast<long>(early.size()));
        PacketQueue queue;
        PacketStreamReader().feed(early, queue);
        bool sawJoin = false;
        while (std::optional<PacketRecord> packet = queue.takeFront()) {
            sawJoin |= packet->msgType() == MsgType::Join && packet->header.sender == 2 && packet->header.length == 32;
        }
        EXPECT_TRUE(sawJoin) << "client " << i + 1;
    }
    const std::vector<PlayerListRow> players = server->status().snapshot().players;
    ASSERT_EQ(players.size(), 3u);
    EXPECT_EQ(players[1].name, "Kim");
}

TEST_F(ServerRelay, EveryPacketGoesToEveryPlayerInOrderSenderIncluded) {
    auto clients = connectClients(3);
    const PacketRecord steer = makePacket(3, MsgType::Steer, Bytes{2});
    const PacketRecord chat = makePacket(3, MsgType::Chat, Bytes{'h', 'i'});
    const PacketRecord hit = makePacket(3, MsgType::Hit, Bytes{7, 0});
    clients[2]->send(steer);
    clients[2]->send(chat);
    clients[2]->send(hit);
    for (auto& client : clients) {
        const std::vector<PacketRecord> got = client->drain();
        ASSERT_EQ(got.size(), 3u);
        EXPECT_EQ(bytesOf(got[0]), bytesOf(steer));
        EXPECT_EQ(bytesOf(got[1]), bytesOf(chat));
        EXPECT_EQ(bytesOf(got[2]), bytesOf(hit));
    }
}

TEST_F(ServerRelay, ShotIdsRunFromZeroThenOneToHundredAndOneAgain) {
    auto clients = connectClients(1);
    const Bytes fire{9, 9, 0x2C, 0x01, 0x90, 0x01, 1, 6};  // id (overwritten), x 300, y 400, mine, facing 6
    for (int i = 0; i < 104; ++i) {
        clients[0]->send(makePacket(1, MsgType::Fire, fire));
    }
    std::vector<std::uint16_t> ids;
    while (ids.size() < 104) {
        const std::optional<PacketRecord> packet = clients[0]->next();
        ASSERT_TRUE(packet);
        ASSERT_EQ(packet->msgType(), MsgType::Fire);
        EXPECT_EQ(Bytes(packet->payload.begin() + 2, packet->payload.begin() + 8), Bytes(fire.begin() + 2, fire.end()));
        ids.push_back(readU16(packet->payload.data()));
    }
    std::vector<std::uint16_t> expected{0};
    for (int id = 1; id <= 101; ++id) {
        expected.push_back(static_cast<std::uint16_t>(id));
    }
    expected.insert(expected.end(), {1, 2});
    EXPECT_EQ(ids, expected);
}

TEST_F(ServerRelay, ReadyCheckSendsEachPlayerItsOwnResume) {
    auto clients = connectClients(3);
    PlayerInfo state;
    state.energy = 100;
    const auto answer = [&](int i) {
        clients[i]->send(makePacket(static_cast<std::uint8_t>(i + 1), MsgType::PlayerState, state.encode()));
    };
    clients[0]->sendJoin("Kim");  // alone: nobody to wait for, and no Resume
    for (auto& client : clients) {
        EXPECT_EQ(typesOf(client->drain()), std::vector<MsgType>{MsgType::Join});
    }
    clients[1]->sendJoin("Park");
    for (auto& client : clients) {
        EXPECT_EQ(typesOf(client->drain()), std::vector<MsgType>{MsgType::Join});
    }
    answer(0);
    for (auto& client : clients) {
        EXPECT_EQ(typesOf(client->drain()), (std::vector<MsgType>{MsgType::PlayerState, MsgType::Resume}));
    }
    clients[2]->sendJoin("Lee");
    ASSERT_TRUE(clients[2]->next());  // its Join has been relayed
    answer(1);
    EXPECT_EQ(typesOf(clients[2]->drain()), std::vector<MsgType>{MsgType::PlayerState});
    for (int i : {0, 1}) {  // a Join counts as the first answer: two of three so far
        EXPECT_EQ(typesOf(clients[i]->drain()), (std::vector<MsgType>{MsgType::Join, MsgType::PlayerState}));
    }
    answer(0);
    for (std::uint8_t i = 0; i < 3; ++i) {
        const std::vector<PacketRecord> got = clients[i]->drain();
        ASSERT_EQ(typesOf(got), (std::vector<MsgType>{MsgType::PlayerState, MsgType::Resume}));
        EXPECT_EQ(bytesOf(got[1]), (Bytes{0xAA, static_cast<std::uint8_t>(i + 1), 3, 0}));
    }
    // With no Join since, it takes three more.
    for (int round = 0; round < 3; ++round) {
        answer(0);
    }
    const std::vector<MsgType> types = typesOf(clients[2]->drain());
    EXPECT_EQ(types, (std::vector<MsgType>{MsgType::PlayerState, MsgType::PlayerState, MsgType::PlayerState,
                                           MsgType::Resume}));
}

TEST_F(ServerRelay, ServerOnlyAndSpoofedPacketsAreLoggedAndDropped) {
    auto clients = connectClients(2);
    clients[1]->send(makePacket(2, MsgType::Tick));
    clients[1]->send(makePacket(2, MsgType::Resume));
    clients[1]->send(makePacket(2, static_cast<MsgType>(200)));
    clients[1]->send(makePacket(1, MsgType::Leave));                 // speaking for player 1
    clients[1]->send(makePacket(1, MsgType::Chat, Bytes{'x'}));      // likewise
    clients[1]->send(makePacket(2, MsgType::Stop));                  // and one good one
    for (auto& client : clients) {
        EXPECT_EQ(typesOf(client->drain()), std::vector<MsgType>{MsgType::Stop});
    }
    // The first is logged as it comes, the other four in one line once the second is over.
    EXPECT_TRUE(logHas(server_text::kInvalidPacketLine));
    EXPECT_TRUE(eventually([&] { return logHas("Player 2 [  ]: 4 more invalid packets in the last second"); }));
    EXPECT_EQ(invalidPacketsReported(server->log().lines()), 5);
    EXPECT_EQ(playerNumbers(), (std::vector<std::uint8_t>{1, 2}));
}

TEST_F(ServerRelay, ClientGoneWithoutLeaveIsAnnouncedToTheOthers) {
    auto clients = connectClients(3);
    clients[1]->sendJoin("Park");
    for (auto& client : clients) {
        client->drain(50ms);
    }
    clients[1]->socket().close();
    for (int i : {0, 2}) {
        const std::optional<PacketRecord> leave = clients[i]->next();
        ASSERT_TRUE(leave);
        EXPECT_EQ(bytesOf(*leave), (Bytes{0xAA, 2, 5, 0}));
        EXPECT_TRUE(clients[i]->drain(100ms).empty());  // announced once
    }
    EXPECT_TRUE(logHas("[ Park ] 님이 나가셨습니다."));
    EXPECT_EQ(playerNumbers(), (std::vector<std::uint8_t>{1, 3}));
}

// A small send buffer per player, so that a client that stops reading soon has bytes waiting
// in its backlog, and is removed once they pass the bound.
class StalledPlayers : public ServerFixture {
protected:
    void SetUp() override {
        playerSendBuffer = 8192;
        playerBacklogBound = 64 * 1024;
        input.packetsPerSecond = 1e6;  // the reader speaks far faster than a player
        input.burst = 1e6;
        ServerFixture::SetUp();
    }
};

TEST_F(StalledPlayers, RelayCarriesOnPastPlayersWhoseSendsFail) {
    // Players 1 and 2 stop reading; once their send buffers are full the relay fails to
    // them. Player 3 must still get each of its own chat lines exactly once, in order.
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<TestClient>());
        ASSERT_EQ(clients.back()->join(port, i < 2 ? 4096 : 0), i + 1);  // small windows fill sooner
    }
    TestClient& reader = *clients[2];
    std::vector<std::uint16_t> seen;
    std::vector<std::uint8_t> leaves;
    std::uint16_t sent = 0;
    const Bytes text(48, 'z');
    while (leaves.size() < 2 && sent < 20000) {
        for (int burst = 0; burst < 50; ++burst, ++sent) {
            Bytes line = text;
            writeU16(line.data(), sent);
            reader.send(makePacket(3, MsgType::Chat, line));
        }
        // Read up to the echo of the last line, so the reader never falls behind itself.
        while (seen.empty() || seen.back() != sent - 1) {
            const std::optional<PacketRecord> packet = reader.next();
            ASSERT_TRUE(packet) << "after " << sent << " lines";
            if (packet->msgType() == MsgType::Leave) {
                leaves.push_back(packet->header.sender);
            } else {
                ASSERT_EQ(packet->msgType(), MsgType::Chat);
                seen.push_back(readU16(packet->payload.data()));
            }
        }
    }
    std::sort(leaves.begin(), leaves.end());
    ASSERT_EQ(leaves, (std::vector<std::uint8_t>{1, 2}));
    ASSERT_EQ(seen.size(), sent);
    for (std::uint16_t i = 0; i < sent; ++i) {
        ASSERT_EQ(seen[i], i);
    }
    EXPECT_EQ(playerNumbers(), std::vector<std::uint8_t>{3});
}

TEST_F(ServerRelay, TicksComeAboutEveryFiftyMillisecondsEvenUnderTraffic) {
    auto clients = connectClients(2);
    std::atomic<bool> flooding{true};
    std::thread chatter([&] {  // keeps the worker busy with packets between ticks
        while (flooding) {
            clients[1]->send(makePacket(2, MsgType::Stop));
            std::this_thread::sleep_for(1ms);
        }
    });
    std::vector<double> gaps;
    std::optional<std::chrono::steady_clock::time_point> last;
    while (gaps.size() < 20) {
        const std::optional<PacketRecord> packet = clients[0]->next(1s, /*skipTicks=*/false);
        ASSERT_TRUE(packet);
        if (packet->msgType() != MsgType::Tick) {
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (last) {
            gaps.push_back(std::chrono::duration<double, std::milli>(now - *last).count());
        }
        last = now;
    }
    flooding = false;
    chatter.join();
    // Arrival times jitter with scheduling; the median does not.
    std::sort(gaps.begin(), gaps.end());
    EXPECT_GE(gaps[gaps.size() / 2], 49.0);
    EXPECT_LE(gaps[gaps.size() / 2], 60.0);
    EXPECT_EQ(bytesOf(makePacket(0, MsgType::Tick)), (Bytes{0xAA, 0, 10, 0}));
}

TEST_F(ServerRelay, First255NumbersRunInOrderThenTheLongestFreeComesBack) {
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 1; i <= 255; ++i) {
        clients.push_back(std::make_unique<TestClient>());
        ASSERT_EQ(clients.back()->join(port), i);
        if (i % 2 == 0) {  // the even ones leave as they come: numbers are still not reused
            clients.back()->send(makePacket(static_cast<std::uint8_t>(i), MsgType::Leave));
        }
    }
    ASSERT_TRUE(eventually([&] { return server->status().snapshot().playerCount == "128"; }))
        << server->status().snapshot().playerCount;
    // Now the numbers come back, the one free longest first.
    for (const std::uint8_t expected : {2, 4, 6}) {
        TestClient late;
        EXPECT_EQ(late.join(port), expected);
        late.send(makePacket(expected, MsgType::Leave));
        EXPECT_TRUE(late.closedByServer());
    }
    TestClient next;
    EXPECT_EQ(next.join(port), 8);
}

TEST_F(ServerRelay, AfterThousandsOfConnectCloseCyclesAPlayerStillGetsInAndPlays) {
    // A health check or a scanner: connect, read the greeting, close; over and over, so
    // that every number is handed out and given back many times.
    int greeted = 0;
    for (int cycle = 0; cycle < 2000; ++cycle) {
        TestClient knock;
        greeted += knock.join(port) != 0;
    }
    EXPECT_GT(greeted, 1000);
    TestClient player;
    const std::uint8_t number = player.join(port);
    ASSERT_NE(number, 0);
    EXPECT_TRUE(eventually([&] { return playerNumbers() == std::vector<std::uint8_t>{number}; }));
    player.sendJoin("Kim");
    std::optional<PacketRecord> echo = player.next();
    while (echo && echo->msgType() == MsgType::Leave) {  // of knocks that went before it
        echo = player.next();
    }
    ASSERT_TRUE(echo);
    EXPECT_EQ(echo->msgType(), MsgType::Join);
    EXPECT_EQ(echo->header.sender, number);
}

}  // namespace
}  // namespace kestrane::testing
