// Shots and mines: flight, leaving the arena, animation, firing, hit reports and damage.
#include <gtest/gtest.h>

#include "tests/world/world_fixture.h"

namespace kestrane::testing {
namespace {

// A client whose local player 1 stands at (300, 300) facing `direction`, with player 2 known.
struct Arena : WorldClient {
    explicit Arena(std::uint8_t direction = 0) : WorldClient(1) {
        receive({joinPacket(1, playerInfo(300, 300, direction, "me")), statePacket(2, playerInfo(200, 200))});
    }
    BulletRecord& bullet(std::size_t index) { return world.bulletRecords.at(index); }
};

TEST(BulletFlight, ShotsMoveFivePixelsAndGoWithASoundWhenTheyLeaveTheArena) {
    Arena client;
    client.receive({firePacket(2, 1, 300, 100, kShot, 2), firePacket(2, 2, 605, 100, kShot, 2), tickPacket()});
    ASSERT_EQ(client.world.bulletRecords.size(), 1u);
    EXPECT_EQ(client.bullet(0).x, 305);
    EXPECT_EQ(client.bullet(0).y, 100);
    const FrameSize& picture = client.world.sprites.bullet[0];
    EXPECT_EQ(client.bullet(0).box, (PixelBox{305 - picture.hotSpotX, 100 - picture.hotSpotY,
                                              305 + picture.hotSpotX, 100 + picture.hotSpotY}));
    EXPECT_EQ(client.media.sound.playCount(kSoundBulletGone), 1);
}

TEST(BulletFlight, AMineNeverMovesAndKeepsTheBoxOfItsFirstFrame) {
    Arena client;
    client.world.sprites.bullet[3] = {16, 16, 8, 8};
    client.world.sprites.bullet[4] = {30, 30, 15, 15};
    client.receive({firePacket(2, 1, 300, 100, kMine, 2)});
    for (int i = 0; i < 10; ++i) {
        animateBullets(client.world);
        client.receive({tickPacket()});
    }
    EXPECT_EQ(client.bullet(0).frame, 4);
    EXPECT_EQ(client.bullet(0).box, (PixelBox{292, 92, 308, 108}));
}

TEST(BulletFlight, ShotAndMineAnimateThroughTheirOwnThreeFrames) {
    Arena client;
    client.receive({firePacket(2, 1, 300, 100, kShot, 2), firePacket(2, 2, 300, 150, kMine, 2)});
    std::vector<int> shot;
    std::vector<int> mine;
    for (int drawn = 0; drawn < 21; ++drawn) {
        animateBullets(client.world);
        shot.push_back(client.bullet(0).frame);
        mine.push_back(client.bullet(1).frame);
    }
    // The first frame shows six times, every later one seven.
    std::vector<int> expected(6, 0);
    expected.insert(expected.end(), 7, 1);
    expected.insert(expected.end(), 7, 2);
    expected.push_back(0);
    EXPECT_EQ(shot, expected);
    for (int& frame : expected) frame += 3;
    EXPECT_EQ(mine, expected);
}

TEST(Firing, ShotsStartAtTheFrontEdgeAndMinesAtTheBackOfThePicture) {
    for (const auto& [direction, shotX, shotY, mineX, mineY] :
         {std::tuple{0, 302, 282, 302, 322}, std::tuple{3, 318, 322, 286, 282}}) {
        Arena client(static_cast<std::uint8_t>(direction));
        client.world.sprites.player[static_cast<std::size_t>(direction * 3)] = {32, 40, 16, 20};
        fireBullet(client.world, kShot);
        fireBullet(client.world, kMine);
        const auto packets = client.sent();
        ASSERT_EQ(packets.size(), 2u);
        const auto bytes = packets[0].wireBytes();
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()),
                  (std::vector<std::uint8_t>{0xAA, 1, 21, 8, 0, 0, static_cast<std::uint8_t>(shotX),
                                             static_cast<std::uint8_t>(shotX >> 8), static_cast<std::uint8_t>(shotY),
                                             static_cast<std::uint8_t>(shotY >> 8), 0, static_cast<std::uint8_t>(direction)}));
        EXPECT_EQ(readI16(&packets[1].payload[kFireXOffset]), mineX);
        EXPECT_EQ(readI16(&packets[1].payload[kFireYOffset]), mineY);
        EXPECT_EQ(packets[1].payload[kFireKindOffset], kMine);
        EXPECT_TRUE(client.world.bulletRecords.empty());  // it comes with the relayed copy
    }
}

TEST(Hits, DamageByKindDownsAtZeroAndStopsThePlayer) {
    struct Case {
        int energy;
        std::uint8_t kind;
        int after;
    };
    for (const Case c : {Case{8, kMine, 0}, Case{12, kMine, 2}, Case{5, kShot, 0}, Case{100, kShot, 95}}) {
        Arena client;
        for (const std::uint8_t victim : {1, 2}) {
            PlayerRecord& player = client.player(victim);
            player.energy = static_cast<std::uint8_t>(c.energy);
            player.motion = kWalkingForward;
            client.receive({firePacket(3, victim, 400, 400, c.kind, 0), hitPacket(victim, victim)});
            EXPECT_EQ(player.energy, c.after) << c.energy << " hit by kind " << int{c.kind};
            EXPECT_EQ(player.motion, c.after == 0 ? kStanding : kWalkingForward);
        }
        EXPECT_TRUE(client.world.bulletRecords.empty());
        EXPECT_EQ(client.media.sound.playCount(kSoundHit), 2);
        EXPECT_EQ(client.world.localDead, c.after == 0);  // only the local player is down here
        EXPECT_EQ(client.media.sound.playCount(kSoundDown), c.after == 0 ? 1 : 0);
    }
}

TEST(Hits, ADownedLocalPlayerIsDownAgainWithoutDamageAndUnknownHitsDoNothing) {
    Arena client;
    client.player(1).energy = 0;
    client.receive({firePacket(2, 7, 400, 400, kShot, 0), hitPacket(1, 7), hitPacket(1, 7), hitPacket(9, 7)});
    EXPECT_TRUE(client.world.localDead);
    EXPECT_EQ(client.media.sound.playCount(kSoundHit), 0);
    EXPECT_EQ(client.media.sound.playCount(kSoundDown), 1);

    client.receive({firePacket(2, 8, 400, 400, kShot, 0), hitPacket(9, 8), hitPacket(2, 99)});
    EXPECT_EQ(client.world.bulletRecords.size(), 1u);
    EXPECT_EQ(client.player(2).energy, 100);
}

TEST(HitTest, OnlyOtherPlayersBulletsTouchingTheLocalPlayerAreReportedOnEveryTick) {
    Arena client;
    client.receive({firePacket(1, 11, 300, 300, kMine, 0),    // own mine, right on the player
                    firePacket(2, 300, 305, 305, kMine, 0),   // another's mine, touching
                    firePacket(2, 12, 340, 300, kMine, 0)});  // another's mine, clear of the player
    client.receive({tickPacket()});
    auto packets = client.sent();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].msgType(), MsgType::Hit);
    EXPECT_EQ(packets[0].payload[0], 0x2C);  // id 300, low byte first
    EXPECT_EQ(packets[0].payload[1], 0x01);
    EXPECT_EQ(client.world.bulletRecords.size(), 3u);  // nothing changes until the Hit comes back

    client.receive({tickPacket()});
    EXPECT_EQ(client.sent().size(), 1u);
    removePlayerRecord(client.world, 1);
    client.receive({tickPacket()});  // no local player: nothing is tested
    EXPECT_TRUE(client.sent().empty());
}

TEST(SharedIds, AHitTakesAnotherPlayersBulletAndLeavingTheArenaTakesTheBulletThatLeft) {
    Arena client;
    client.receive({firePacket(1, 5, 200, 200, kMine, 0),   // own mine
                    firePacket(3, 5, 250, 250, kMine, 0),   // a third player's mine
                    firePacket(2, 5, 400, 400, kShot, 0)});
    client.receive({hitPacket(1, 5)});  // player 1 never reports its own mine
    ASSERT_EQ(client.world.bulletRecords.size(), 2u);
    EXPECT_EQ(client.bullet(0).owner, 1);
    EXPECT_EQ(client.bullet(1).owner, 2);
    EXPECT_EQ(client.player(1).energy, 90);

    client.receive({hitPacket(2, 5)});  // the first not fired by the victim: the shot is player 2's own
    EXPECT_EQ(client.world.bulletRecords.size(), 1u);
    EXPECT_EQ(client.bullet(0).owner, 2);
    client.receive({firePacket(2, 5, 608, 300, kShot, 2), tickPacket()});
    ASSERT_EQ(client.world.bulletRecords.size(), 1u);
    EXPECT_EQ(client.bullet(0).x, 400);  // the shot that stayed moved on; the one at the edge left
    EXPECT_EQ(client.bullet(0).y, 395);
}

TEST(OwnBulletCount, FollowsTheLocalPlayersBulletsOnItsOwnClientOnly) {
    Arena shooter;
    WorldClient other(2);
    other.receive({joinPacket(2, playerInfo(200, 200)), statePacket(1, playerInfo(300, 300))});
    shooter.world.ownBulletCount = {2, 1};
    other.world.ownBulletCount = {1, 1};
    for (WorldClient* client : {static_cast<WorldClient*>(&shooter), &other}) {
        client->receive({firePacket(1, 1, 605, 100, kShot, 2), firePacket(1, 2, 600, 120, kShot, 2),
                         firePacket(1, 3, 300, 120, kMine, 2), firePacket(1, 4, 300, 200, kShot, 0)});
        client->receive({tickPacket()});
        EXPECT_EQ(client->media.sound.playCount(kSoundBulletGone), 1);
    }
    EXPECT_EQ(shooter.world.ownBulletCount, (std::array<int, 2>{1, 1}));
    EXPECT_EQ(other.world.ownBulletCount, (std::array<int, 2>{1, 1}));

    shooter.receive({tickPacket(), tickPacket()});  // the second shot leaves: never below zero
    EXPECT_EQ(shooter.world.ownBulletCount, (std::array<int, 2>{0, 1}));
    shooter.world.ownBulletCount = {0, 0};
    shooter.receive({firePacket(1, 6, 608, 300, kShot, 2), tickPacket()});
    EXPECT_EQ(shooter.world.ownBulletCount, (std::array<int, 2>{0, 0}));
}

TEST(Firing, RelayedFiresOfUnknownKindsOrShortPayloadsAreRefused) {
    Arena client;
    PacketRecord shortFire = firePacket(2, 1, 300, 300, kShot, 0);
    shortFire.header.length = 7;
    client.receive({firePacket(2, 1, 300, 300, 2, 0), firePacket(2, 2, 300, 300, 0xFF, 0), shortFire});
    EXPECT_TRUE(client.world.bulletRecords.empty());
    animateBullets(client.world);
    client.receive({tickPacket(), hitPacket(1, 1)});
    EXPECT_EQ(client.player(1).energy, 100);
}

}  // namespace
}  // namespace kestrane::testing
