// The dispatcher: one handler per message, one packet per call; and the replica property.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "tests/world/world_fixture.h"

namespace kestrane::testing {
namespace {

TEST(Dispatcher, TheOwnJoinAloneStartsTheWorldWithoutAnsweringIt) {
    WorldClient client(1);
    client.receive({joinPacket(1, playerInfo(300, 300))});
    EXPECT_TRUE(client.world.worldRunning);
    EXPECT_TRUE(client.sent().empty());
    EXPECT_EQ(client.media.sound.playCount(kSoundJoined), 1);
    EXPECT_EQ(client.media.display.presentCount(), 0);
}

TEST(Dispatcher, BulletsRelayedBeforeTheOwnJoinAreDroppedWithIt) {
    // Players 1 and 2 fire while player 3's Join is on its way: 3 receives the shot and the
    // mine first, but every other client empties its bullets at 3's Join, so 3 must as well.
    WorldClient client(3);
    client.receive({firePacket(1, 7, 300, 300, kShot, 2), firePacket(2, 8, 200, 200, kMine, 0), tickPacket()});
    ASSERT_EQ(client.world.bulletRecords.size(), 2u);
    client.receive({joinPacket(3, playerInfo(300, 300))});
    EXPECT_TRUE(client.world.bulletRecords.empty());
    EXPECT_TRUE(client.world.worldRunning);
    EXPECT_TRUE(client.sent().empty());
}

TEST(Dispatcher, AnotherPlayersJoinStopsTheWorldAnswersOnceAndClearsTheBullets) {
    WorldClient client(1);
    client.receive({joinPacket(1, playerInfo(300, 300, 0, "me")), firePacket(1, 0, 300, 280, kShot, 0),
                    firePacket(4, 1, 200, 200, kMine, 0)});
    client.world.ownBulletCount = {1, 2};
    client.log.clear();
    client.receive({joinPacket(2, playerInfo(200, 200, 0, "you"))});

    EXPECT_FALSE(client.world.worldRunning);
    EXPECT_TRUE(client.world.bulletRecords.empty());
    EXPECT_EQ(client.world.ownBulletCount, (std::array<int, 2>{0, 0}));
    EXPECT_EQ(client.world.playerRecords.size(), 2u);
    const auto packets = client.sent();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].msgType(), MsgType::PlayerState);
    EXPECT_EQ(nameText(PlayerInfo::decode(packets[0].payloadBytes()).name), "me");
    ASSERT_EQ(client.log.sprites.size(), 1u);
    EXPECT_EQ(client.log.sprites[0].frame, &client.media.etcSprites[kJoinedPicture]);
    EXPECT_EQ(std::make_pair(client.log.sprites[0].x, client.log.sprites[0].y), std::make_pair(400, 300));
    EXPECT_EQ(client.log.presents, 1);
    EXPECT_EQ(client.media.sound.playCount(kSoundJoined), 2);
}

TEST(Dispatcher, ResumeAndServerClosingSwitchTheWorldWhichMovesEitherWay) {
    WorldClient client(1);
    client.receive({joinPacket(1, playerInfo(300, 300)), joinPacket(2, playerInfo(200, 200)),
                    steerPacket(2, SteerCode::Forward), tickPacket()});
    EXPECT_EQ(client.player(2).y, 198);  // a stopped world still moves on the tick
    client.receive({headerPacket(1, MsgType::Resume)});
    EXPECT_TRUE(client.world.worldRunning);
    client.log.clear();
    client.receive({headerPacket(0, MsgType::ServerClosing)});
    EXPECT_FALSE(client.world.worldRunning);
    ASSERT_EQ(client.log.sprites.size(), 1u);
    EXPECT_EQ(client.log.sprites[0].frame, &client.media.etcSprites[kServerClosedPicture]);
    EXPECT_EQ(client.log.presents, 1);
}

TEST(Dispatcher, PayloadsAreReadOnlyAsFarAsTheirLengthAndIdsAsSixteenBits) {
    WorldClient client(1);
    PacketRecord chat = chatPacket(3, "hello world");
    chat.header.length = 5;  // the rest of the payload area holds garbage
    client.receive({chat, joinPacket(1, playerInfo(300, 300)), firePacket(2, 0x165, 100, 100, kShot, 0),
                    firePacket(2, 101, 100, 100, kShot, 0), firePacket(2, 4, 100, 100, kShot, 0)});
    ASSERT_EQ(client.world.chatLines.size(), 1u);
    EXPECT_EQ(chatLineText(client.world.chatLines[0]), "hello");
    EXPECT_EQ(client.world.chatLines[0][5], '\0');

    client.receive({makePacket(1, MsgType::Hit, std::array<std::uint8_t, 2>{0x65, 0x00})});
    ASSERT_EQ(client.world.bulletRecords.size(), 2u);
    EXPECT_EQ(client.world.bulletRecords[0].id, 0x165);
    client.receive({makePacket(1, MsgType::Hit, std::array<std::uint8_t, 2>{0x65, 0x01})});
    ASSERT_EQ(client.world.bulletRecords.size(), 1u);
    EXPECT_EQ(client.player(1).energy, 90);

    // Records shorter than their message's payload change nothing.
    for (auto [type, length] : {std::pair{MsgType::Steer, 0}, {MsgType::PlayerState, 31}, {MsgType::SetPosition, 3},
                                {MsgType::Hit, 1}, {MsgType::Join, 0}}) {
        PacketRecord record = makePacket(1, type, std::array<std::uint8_t, 32>{4, 2, 3, 4, 5, 6});
        record.header.length = static_cast<std::uint8_t>(length);
        client.receive({record});
    }
    EXPECT_EQ(client.player(1).motion, kStanding);
    EXPECT_EQ(client.player(1).x, 300);
    EXPECT_EQ(client.player(1).energy, 90);
    EXPECT_EQ(client.world.playerRecords.size(), 1u);
    EXPECT_EQ(client.world.bulletRecords.size(), 1u);
}

TEST(Dispatcher, AppliesOneQueuedRecordPerCallInArrivalOrderAndIgnoresUnknownTypes) {
    WorldClient client(1);
    PacketQueue& queue = client.session.queue();
    dispatchNextPacket(client.world, queue);  // empty: nothing
    for (const std::uint8_t type : {0, 2, 200}) {
        queue.push(makePacket(1, static_cast<MsgType>(type), std::array<std::uint8_t, 32>{100}));
    }
    queue.push(joinPacket(1, playerInfo(300, 300)));
    queue.push(steerPacket(1, SteerCode::TurnRight));
    for (int i = 0; i < 3; ++i) {
        dispatchNextPacket(client.world, queue);
    }
    EXPECT_TRUE(client.world.playerRecords.empty());
    EXPECT_FALSE(client.world.worldRunning);
    dispatchNextPacket(client.world, queue);
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_EQ(client.player(1).direction, 0);
    dispatchNextPacket(client.world, queue);
    EXPECT_EQ(client.player(1).direction, 1);
    EXPECT_TRUE(queue.empty());

}

// Stands in for the server: relays everything the connected clients send to all of them,
// stamping shot ids as the server does, and keeps the stream.
struct Relay {
    std::vector<WorldClient*> clients;
    std::uint16_t serial = 0;
    std::vector<PacketRecord> stream;

    void relay(PacketRecord record) {
        if (record.msgType() == MsgType::Fire) {
            writeU16(&record.payload[kFireIdOffset], serial);
            serial = serial > 100 ? 1 : serial + 1;
        }
        stream.push_back(record);
        for (WorldClient* client : clients) {
            client->session.queue().push(record);
        }
    }
    void resume() {
        for (WorldClient* client : clients) {
            client->session.queue().push(headerPacket(client->session.localPlayerNumber(), MsgType::Resume));
        }
    }
    // Applies everything queued, then relays what that made the clients send, until quiet.
    void settle() {
        for (bool busy = true; busy;) {
            busy = false;
            for (WorldClient* client : clients) {
                while (!client->session.queue().empty()) {
                    dispatchNextPacket(client->world, client->session.queue());
                }
            }
            for (WorldClient* client : clients) {
                for (const PacketRecord& packet : client->sent()) {
                    relay(packet);
                    busy = true;
                }
            }
        }
    }
    int count(MsgType type) const {
        return static_cast<int>(std::count_if(stream.begin(), stream.end(),
                                              [type](const PacketRecord& p) { return p.msgType() == type; }));
    }
};

// What the game state of a world is, leaving out what drawing animates.
auto replicaState(const ClientWorld& world) {
    std::vector<std::tuple<int, std::string, int, int, int, int, int>> players;
    for (const PlayerRecord& p : world.playerRecords) {
        players.emplace_back(p.number, std::string(nameText(p.name)), p.energy, p.x, p.y, p.direction, p.motion);
    }
    std::sort(players.begin(), players.end());  // each client adds itself first
    std::vector<std::tuple<int, int, int, int, int, int>> bullets;
    for (const BulletRecord& b : world.bulletRecords) {
        bullets.emplace_back(b.owner, b.id, b.x, b.y, b.kind, b.direction);
    }
    return std::make_pair(players, bullets);
}

TEST(Replica, TwoClientsFedTheSameRelayedStreamEndIdentical) {
    WorldClient a(1, "alpha");
    WorldClient b(2, "bravo");
    Relay server;
    server.clients = {&a};
    server.relay(joinPacket(1, playerInfo(300, 300, 0, "alpha")));
    server.settle();
    server.clients.push_back(&b);
    server.relay(joinPacket(2, playerInfo(300, 200, 0, "bravo")));
    server.settle();
    server.resume();
    server.settle();
    ASSERT_TRUE(a.world.worldRunning && b.world.worldRunning);

    // Scripted keys by frame: A walks up, turns away and back, fires twice and lays a mine;
    // B fires off the top of the arena, walks back and turns. A third player comes and goes.
    int bulletsSeen = 0;
    for (int step = 0; step < 100; ++step) {
        std::vector<int> keysA;
        std::vector<int> keysB;
        if (step < 10) keysA.push_back(kKeyUp);
        if (step == 12) keysA.push_back(kKeyRight);
        if (step == 14) keysA.push_back(kKeyLeft);
        if (step == 16 || step == 20) keysA.push_back(kKeySpace);
        if (step == 25) keysA.push_back(kKeyLeftAlt);
        if (step == 5) keysB.push_back(kKeySpace);
        if (step >= 40 && step < 48) keysB.push_back(kKeyDown);
        if (step == 50) keysB.push_back(kKeyLeft);
        a.media.keyboard.setKeyState({});
        b.media.keyboard.setKeyState({});
        for (int key : keysA) a.media.keyboard.setKeyDown(key, true);
        for (int key : keysB) b.media.keyboard.setKeyDown(key, true);
        a.frame();
        b.frame();
        if (step % 3 != 2) server.relay(tickPacket());
        if (step == 70) {
            server.relay(joinPacket(3, playerInfo(150, 150, 0, "charlie")));
            server.settle();
            server.relay(firePacket(3, 0, 150, 130, kShot, 0));
            server.resume();
        }
        if (step == 85) server.relay(headerPacket(3, MsgType::Leave));
        server.settle();
        bulletsSeen = std::max(bulletsSeen, static_cast<int>(a.world.bulletRecords.size()));
        ASSERT_EQ(replicaState(a.world), replicaState(b.world)) << "diverged at step " << step;
    }

    // The script really exercised the game: moves, shots, hits, and the join's clearing.
    EXPECT_GE(bulletsSeen, 3);
    EXPECT_GE(server.count(MsgType::Hit), 1);
    EXPECT_LT(b.player(2).energy, 100);
    EXPECT_NE(a.player(1).y, 300);
    EXPECT_EQ(server.count(MsgType::PlayerState), 3);
    EXPECT_EQ(findPlayerRecord(a.world, 3), -1);
    EXPECT_EQ(a.world.playerRecords.size(), 2u);
}

// Whatever a hostile peer sends, the tables stay bounded: a Join for a known number replaces
// its record, number 0 is no player, and an owner never has more than 6 shots and 10 mines.
TEST(Dispatcher, HostileFloodsLeaveTheTablesBounded) {
    struct Case {
        const char* what;
        std::vector<PacketRecord> packets;
        std::array<int, 2> ownCountBefore;
        std::size_t players;
        std::size_t bullets;
        std::array<int, 2> ownCountAfter;
    };
    const auto fires = [](int owners, int each) {
        std::vector<PacketRecord> packets;
        for (int owner = 0; owner < owners; ++owner) {
            for (int i = 0; i < each; ++i) {
                const auto number = static_cast<std::uint8_t>(owner);
                packets.push_back(firePacket(number, static_cast<std::uint16_t>(i), 300, 300, kShot, 0));
                packets.push_back(firePacket(number, static_cast<std::uint16_t>(i), 300, 300, kMine, 0));
            }
        }
        return packets;
    };
    std::vector<PacketRecord> joins;
    for (int round = 0; round < 2; ++round) {
        for (int number = 0; number < 256; ++number) {
            joins.push_back(joinPacket(static_cast<std::uint8_t>(number), playerInfo(100 + round, 100)));
            joins.push_back(statePacket(static_cast<std::uint8_t>(number), playerInfo(100, 100 + round)));
        }
    }
    const std::vector<Case> cases = {
        {"every number joins twice and sends states", joins, {0, 0}, 255, 0, {0, 0}},
        {"every sender floods shots and mines", fires(256, 20), {0, 0}, 0, 255 * 16, {0, 0}},
        {"own fires over the bound give their place back", fires(2, 12), {3, 5}, 0, 16, {0, 3}},
        {"own fires within the bound keep their count", fires(2, 3), {3, 3}, 0, 6, {3, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WorldClient client(1);
        client.world.ownBulletCount = c.ownCountBefore;
        for (std::size_t i = 0; i < c.packets.size(); ++i) {
            client.receive({c.packets[i]});
            if (i % 64 == 0) {
                client.sent();  // the answers to the Joins, read as the server would
            }
        }
        EXPECT_EQ(client.world.playerRecords.size(), c.players);
        EXPECT_EQ(client.world.bulletRecords.size(), c.bullets);
        EXPECT_EQ(client.world.ownBulletCount, c.ownCountAfter);
        std::map<int, std::array<int, 2>> perOwner;
        for (const BulletRecord& bullet : client.world.bulletRecords) {
            EXPECT_NE(bullet.owner, 0);
            perOwner[bullet.owner][bullet.kind] += 1;
        }
        for (const auto& [owner, counts] : perOwner) {
            EXPECT_LE(counts[0], 6) << "owner " << owner;
            EXPECT_LE(counts[1], 10) << "owner " << owner;
        }
        std::set<int> numbers;
        for (const PlayerRecord& player : client.world.playerRecords) {
            EXPECT_TRUE(numbers.insert(player.number).second) << "player " << int{player.number} << " twice";
        }
    }
    // The replaced record is the second Join's, in the first one's place.
    WorldClient client(1);
    client.receive({joinPacket(7, playerInfo(100, 100, 0, "old")), joinPacket(8, playerInfo(200, 200)),
                    joinPacket(7, playerInfo(150, 160, 2, "new"))});
    ASSERT_EQ(client.world.playerRecords.size(), 2u);
    EXPECT_EQ(client.world.playerRecords[0].number, 7);
    EXPECT_EQ(nameText(client.world.playerRecords[0].name), "new");
    EXPECT_EQ(client.world.playerRecords[0].x, 150);
}

}  // namespace
}  // namespace kestrane::testing
