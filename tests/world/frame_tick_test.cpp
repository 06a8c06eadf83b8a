// The frame tick: drawing order, and keyboard snapshots turned into the messages sent.
#include <gtest/gtest.h>

#include "tests/support/packet_reader.h"
#include "tests/world/world_fixture.h"

namespace kestrane::testing {
namespace {

// A running world whose local player 1 stands at (300, 300).
struct Playing : WorldClient {
    Playing() : WorldClient(1, "kim") {
        receive({joinPacket(1, playerInfo(300, 300, 0, "kim"))});
        sent();
    }
    // One frame with exactly `down` held; returns what it sent.
    std::vector<PacketRecord> press(std::initializer_list<int> down) {
        keys(down);
        frame();
        return sent();
    }
};

TEST(FrameTick, OneShotPerSpacePressUpToThreeInFlight) {
    Playing client;
    int shots = 0;
    for (int press = 0; press < 5; ++press) {
        shots += static_cast<int>(client.press({kKeySpace}).size());
        shots += static_cast<int>(client.press({kKeySpace}).size());  // held: no second shot
        client.press({});
    }
    EXPECT_EQ(shots, 3);
    EXPECT_EQ(client.world.ownBulletCount[0], 3);
    EXPECT_EQ(client.media.sound.playCount(kSoundShot), 3);
}

TEST(FrameTick, SpaceHeldAtTheLimitFiresAsSoonAsAShotIsRemoved) {
    Playing client;
    for (int id = 0; id < 3; ++id) {
        EXPECT_EQ(types(client.press({kKeySpace})), std::vector{MsgType::Fire});
        client.press({});
        client.receive({firePacket(1, static_cast<std::uint16_t>(id), 300, 100 + 10 * id, kShot, id == 0 ? 0 : 4)});
    }
    EXPECT_TRUE(client.press({kKeySpace}).empty());
    EXPECT_TRUE(client.press({kKeySpace}).empty());
    client.receive({tickPacket(), tickPacket(), tickPacket(), tickPacket(), tickPacket()});  // shot 0 leaves
    EXPECT_EQ(client.world.ownBulletCount[0], 2);
    EXPECT_EQ(types(client.press({kKeySpace})), std::vector{MsgType::Fire});
    EXPECT_EQ(client.media.sound.playCount(kSoundShot), 4);
}

TEST(FrameTick, MinesHaveTheirOwnLatchAndALimitOfFive) {
    Playing client;
    int mines = 0;
    for (int press = 0; press < 7; ++press) {
        const auto packets = client.press({kKeyLeftAlt, kKeySpace});
        for (const PacketRecord& packet : packets) {
            mines += packet.payload[kFireKindOffset] == kMine;
        }
        client.press({kKeySpace});
    }
    EXPECT_EQ(mines, 5);
    EXPECT_EQ(client.world.ownBulletCount, (std::array<int, 2>{1, 5}));
}

TEST(FrameTick, TurnKeysTurnOncePerPress) {
    Playing client;
    EXPECT_EQ(steerCodes(client.press({kKeyLeft, kKeyRight})), (std::vector<int>{6, 2}));
    EXPECT_TRUE(client.press({kKeyLeft, kKeyRight}).empty());
    client.press({});
    EXPECT_EQ(steerCodes(client.press({kKeyLeft})), std::vector<int>{6});
    EXPECT_TRUE(client.press({kKeyLeft, kKeyRight}).empty());  // Right added to a held Left
    EXPECT_TRUE(client.press({kKeyRight}).empty());
    client.press({});
    EXPECT_EQ(steerCodes(client.press({kKeyRight})), std::vector<int>{2});
}

TEST(FrameTick, MoveKeysSendOneSteerAndAStopOneFrameAfterRelease) {
    Playing client;
    EXPECT_EQ(steerCodes(client.press({kKeyUp, kKeyDown})), std::vector<int>{0});
    EXPECT_TRUE(client.press({kKeyDown}).empty());  // Down taking over keeps walking forward
    EXPECT_TRUE(client.press({}).empty());          // release seen: Stop is due
    EXPECT_EQ(types(client.press({})), std::vector{MsgType::Stop});
    EXPECT_EQ(client.media.sound.playCount(kSoundFootstep), 2);
    EXPECT_TRUE(client.press({}).empty());
    EXPECT_EQ(steerCodes(client.press({kKeyDown})), std::vector<int>{4});
}

TEST(FrameTick, F1OpensTheChatOnlyWithoutAMoveKeyAndAlsoWhileDown) {
    Playing client;
    client.press({kKeyUp});
    client.press({kKeyUp, kKeyF1});
    client.press({kKeyF1});  // released Up: Stop still due
    EXPECT_FALSE(client.world.chatBox.chatActive());
    client.press({});
    client.press({kKeyF1});
    EXPECT_TRUE(client.world.chatBox.chatActive());

    Playing downed;
    downed.receive({firePacket(2, 9, 300, 300, kMine, 0)});
    downed.player(1).energy = 10;
    downed.receive({hitPacket(1, 9)});
    ASSERT_TRUE(downed.world.localDead);
    downed.press({kKeyUp});  // while down, keys other than F1 and F10 do nothing
    EXPECT_TRUE(downed.press({kKeyUp, kKeyF1, kKeySpace}).empty());
    EXPECT_TRUE(downed.world.chatBox.chatActive());
}

TEST(FrameTick, WhileDownThePictureShowsAndF10SendsStopThenFullEnergy) {
    Playing client;
    client.player(1).energy = 0;
    client.world.localDead = true;
    client.world.moveKeyState = kMoveKeyHeld;
    client.log.clear();
    EXPECT_TRUE(client.press({kKeySpace, kKeyLeft}).empty());
    EXPECT_EQ(client.world.moveKeyState, kMoveIdle);
    EXPECT_EQ(client.log.sprites.back().frame, &client.media.etcSprites[kDownPicture]);
    EXPECT_EQ(client.log.presents, 1);

    const auto packets = client.press({kKeyF10});
    EXPECT_EQ(types(packets), (std::vector{MsgType::Stop, MsgType::PlayerState}));
    EXPECT_EQ(PlayerInfo::decode(packets[1].payloadBytes()).energy, 100);
    EXPECT_EQ(client.player(1).energy, 100);
    EXPECT_FALSE(client.world.localDead);

    // Without a record of its own the player still gets up; there is no state to send.
    client.world.localDead = true;
    removePlayerRecord(client.world, 1);
    EXPECT_EQ(types(client.press({kKeyF10})), std::vector{MsgType::Stop});
    EXPECT_FALSE(client.world.localDead);
}

TEST(FrameTick, AStoppedWorldDrawsReadsAndPlaysNothing) {
    Playing client;
    client.world.worldRunning = false;
    client.media.display.backBuffer().fill(kFloor);
    client.log.clear();
    for (const int key : {kKeySpace, kKeyLeftAlt, kKeyUp, kKeyLeft, kKeyF1}) {
        EXPECT_TRUE(client.press({key}).empty());
    }
    EXPECT_EQ(client.log.presents + client.log.sprites.size() + client.log.texts.size(), 0u);
    EXPECT_EQ(client.media.display.backBuffer().pixel(400, 300), kFloor);
    for (int slot = 0; slot < kSoundSlotCount; ++slot) {
        EXPECT_EQ(client.media.sound.playCount(slot), slot == kSoundJoined ? 1 : 0);
    }
    EXPECT_FALSE(client.world.chatBox.chatActive());
}

TEST(FrameTick, DrawsBackgroundBulletsPlayersAndChatInThatOrderThenPresents) {
    Playing client;
    client.receive({firePacket(1, 1, 300, 300, kMine, 0), chatPacket(2, "hi")});
    client.media.display.backBuffer().fill(kFloor);
    client.log.clear();
    client.press({});
    ASSERT_EQ(client.log.sprites.size(), 2u);
    EXPECT_EQ(client.log.sprites[0].frame, &client.media.bulletSprites[3]);
    EXPECT_EQ(client.log.sprites[1].frame, &client.media.playerSprites[0]);
    EXPECT_EQ(client.log.texts.back().bytes, "hi");
    EXPECT_EQ(client.log.presents, 1);
    // The top row holds nothing but the background.
    for (int x = 0; x < 800; x += 7) {
        EXPECT_EQ(client.media.display.backBuffer().pixel(x, 0), client.media.backgroundSurface.pixel(x, 0));
    }
}

// The server stops reading: sends wait in the session's outgoing buffer instead of blocking,
// so frames go on being drawn and keys read, and once it reads again everything arrives whole
// and in order.
TEST(FrameTick, FramesGoOnWhileTheServerReadsNothing) {
    Playing client;
    // Fill the connection until the socket takes no more.
    const PacketRecord filler = chatPacket(1, std::string(40, 'f'));
    int fillers = 0;
    while (client.session.outgoingBytes() == 0 && fillers < 1'000'000) {
        client.session.sendPacket(filler);
        ++fillers;
    }
    ASSERT_GT(client.session.outgoingBytes(), 0u) << "the socket never filled";
    const int presentsBefore = client.log.presents;
    for (int i = 0; i < 30; ++i) {
        client.keys({i % 2 == 0 ? kKeyRight : kKeyLeft});
        client.frame();
        client.keys({});
        client.frame();
    }
    EXPECT_EQ(client.log.presents - presentsBefore, 60);
    EXPECT_FALSE(client.session.sendingFailed());

    // The server reads again: the fillers, then the 30 turns, nothing lost or reordered.
    PacketReader arrived(client.server);
    std::vector<PacketRecord> packets;
    for (int idle = 0; idle < 100 && packets.size() < static_cast<std::size_t>(fillers + 30);) {
        client.session.flushOutgoing();
        const std::vector<PacketRecord> more = arrived.takeAll();
        idle = more.empty() ? idle + 1 : 0;
        packets.insert(packets.end(), more.begin(), more.end());
    }
    ASSERT_EQ(packets.size(), static_cast<std::size_t>(fillers + 30));
    for (int i = 0; i < fillers; ++i) {
        ASSERT_EQ(packets[static_cast<std::size_t>(i)].msgType(), MsgType::Chat) << "packet " << i;
    }
    std::vector<int> expected;
    for (int i = 0; i < 30; ++i) {
        expected.push_back(i % 2 == 0 ? 2 : 6);
    }
    EXPECT_EQ(steerCodes(std::vector<PacketRecord>(packets.begin() + fillers, packets.end())), expected);
}

}  // namespace
}  // namespace kestrane::testing
