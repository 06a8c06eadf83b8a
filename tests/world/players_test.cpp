// The players table: movement on the tick, steering, animation, state, drawing, own state.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "tests/world/world_fixture.h"

namespace kestrane::testing {
namespace {

// Where a player lands after one tick, walking `motion` from (x, y) facing `direction`.
std::pair<int, int> afterOneTick(int x, int y, std::uint8_t direction, std::uint8_t motion) {
    WorldClient client(1);
    addPlayerRecord(client.world, 1, playerInfo(x, y, direction));
    client.player(1).motion = motion;
    client.receive({tickPacket()});
    return {client.player(1).x, client.player(1).y};
}

TEST(PlayerMovement, StepsTwoPixelsPerTickAndKeepsEachAxisInsideTheArena) {
    EXPECT_EQ(afterOneTick(400, 300, 1, kWalkingForward), std::make_pair(402, 298));
    EXPECT_EQ(afterOneTick(400, 300, 7, kWalkingBackward), std::make_pair(402, 302));
    EXPECT_EQ(afterOneTick(400, 300, 2, 9), std::make_pair(398, 300));  // any other motion walks backward
    EXPECT_EQ(afterOneTick(77, 300, 6, kWalkingForward), std::make_pair(77, 300));  // 75 is outside
    EXPECT_EQ(afterOneTick(100, 77, 7, kWalkingForward), std::make_pair(98, 77));   // slides along the wall
    EXPECT_EQ(afterOneTick(608, 468, 3, kWalkingForward), std::make_pair(608, 468));
    EXPECT_EQ(afterOneTick(300, 300, 12, kWalkingForward), std::make_pair(300, 300));  // no such direction
}

TEST(PlayerMovement, StandingAndDownedPlayersDoNotStep) {
    WorldClient client(1);
    addPlayerRecord(client.world, 1, playerInfo(300, 300, 2));
    addPlayerRecord(client.world, 2, playerInfo(200, 200, 2, "down", 0));
    client.player(2).motion = kWalkingForward;
    client.receive({tickPacket(), tickPacket()});
    EXPECT_EQ(client.player(1).x, 300);
    EXPECT_EQ(client.player(2).x, 200);
}

TEST(PlayerSteering, TurnsWrapAndShowTheStandingFrameWhileOtherCodesDoNothing) {
    WorldClient client(1);
    addPlayerRecord(client.world, 4, playerInfo(300, 300, 7));
    client.player(4).motion = kWalkingForward;
    client.receive({steerPacket(4, SteerCode::TurnRight)});
    EXPECT_EQ(client.player(4).direction, 0);
    EXPECT_EQ(client.player(4).frame, 0);
    EXPECT_EQ(client.player(4).motion, kWalkingForward);  // a turn keeps walking
    client.receive({steerPacket(4, SteerCode::TurnLeft)});
    EXPECT_EQ(client.player(4).direction, 7);
    EXPECT_EQ(client.player(4).frame, 21);

    for (const std::uint8_t code : {1, 3, 5, 7, 0x80, 0xFF}) {
        steerPlayer(client.world, 4, code);
    }
    steerPlayer(client.world, 9, 2);  // unknown player
    EXPECT_EQ(client.player(4).direction, 7);
    EXPECT_EQ(client.player(4).motion, kWalkingForward);
    client.receive({steerPacket(4, SteerCode::Backward)});
    EXPECT_EQ(client.player(4).motion, kWalkingBackward);
    client.receive({headerPacket(4, MsgType::Stop)});
    EXPECT_EQ(client.player(4).motion, kStanding);
}

TEST(PlayerAnimation, WalkChangesFrameEveryThirdTickAndStandingReturnsWithinThreeDrawnFrames) {
    WorldClient client(1);
    addPlayerRecord(client.world, 1, playerInfo(300, 300, 0));
    client.player(1).motion = kWalkingForward;
    std::vector<int> frames;
    for (int tick = 0; tick < 9; ++tick) {
        client.receive({tickPacket()});
        frames.push_back(client.player(1).frame);
    }
    EXPECT_EQ(frames, (std::vector<int>{0, 0, 1, 1, 1, 2, 2, 2, 0}));

    client.receive({tickPacket()});  // frame 0 -> 1 on the next change; now stop mid-cycle
    client.receive({tickPacket(), tickPacket()});
    ASSERT_EQ(client.player(1).frame, 1);
    client.receive({headerPacket(1, MsgType::Stop)});
    for (int drawn = 0; drawn < 3; ++drawn) {
        animatePlayers(client.world);
    }
    EXPECT_EQ(client.player(1).frame, 0);
}

TEST(PlayerRecords, ValuesFromTheNetworkNeverIndexPastATable) {
    WorldClient client(1);
    PlayerInfo info = playerInfo(300, 300, 9, "");
    info.frame = 200;
    info.name.fill('N');  // 21 bytes without a terminator
    addPlayerRecord(client.world, 5, info);
    PlayerRecord& player = client.player(5);
    player.motion = kWalkingForward;
    client.receive({tickPacket(), tickPacket(), tickPacket(), steerPacket(5, SteerCode::TurnRight)});
    EXPECT_EQ(player.direction, 1);  // turned as if it had faced 0
    EXPECT_EQ(player.frame, 3);

    player.frame = 24;  // a stored downed picture on a standing player with energy
    player.motion = kStanding;
    client.log.clear();
    animatePlayers(client.world);
    drawPlayers(client.world, client.media);
    ASSERT_EQ(client.log.sprites.size(), 1u);
    EXPECT_EQ(client.log.sprites[0].frame, &client.media.playerSprites[3]);
    ASSERT_EQ(client.log.texts.size(), 1u);
    EXPECT_EQ(client.log.texts[0].bytes, std::string(20, 'N'));
    EXPECT_EQ(client.log.texts[0].x, 300 - 80);
}

TEST(PlayerRecords, StatePositionAndLeaveFollowTheTableRules) {
    WorldClient client(1);
    addPlayerRecord(client.world, 1, playerInfo(100, 100, 0, "me"));
    addPlayerRecord(client.world, 3, playerInfo(200, 200, 2, "three"));

    PlayerInfo state = playerInfo(250, 260, 5, "renamed", 40);
    state.frame = 7;
    state.motion = kWalkingBackward;
    state.spare = 9;
    client.receive({statePacket(3, state)});
    const PlayerRecord& three = client.player(3);
    EXPECT_EQ(std::make_tuple(three.energy, three.direction, three.motion, three.x, three.y),
              std::make_tuple(40, 5, kWalkingBackward, 250, 260));
    EXPECT_EQ(std::make_tuple(nameText(three.name), three.frame, three.spare), std::make_tuple("three", 6, 0));

    client.receive({statePacket(8, state)});  // unknown: added whole
    EXPECT_EQ(client.player(8).frame, 7);
    EXPECT_EQ(client.player(8).spare, 9);
    removePlayerRecord(client.world, 1);
    client.receive({statePacket(1, state)});  // the local player is never added by a state
    EXPECT_EQ(findPlayerRecord(client.world, 1), -1);

    addPlayerRecord(client.world, 1, playerInfo(100, 100));
    client.receive({makePacket(1, MsgType::SetPosition, std::array<std::uint8_t, 4>{0x20, 0x03, 0xF6, 0xFF}),
                    makePacket(3, MsgType::SetPosition, std::array<std::uint8_t, 4>{0x20, 0x03, 0xF6, 0xFF})});
    EXPECT_EQ(client.player(1).x, 100);
    EXPECT_EQ(client.player(3).x, 800);  // no arena check
    EXPECT_EQ(client.player(3).y, 0xFFF6);

    client.receive({joinPacket(3, playerInfo(10, 10, 0, "again"))});  // replaces the record
    EXPECT_EQ(nameText(client.player(3).name), "again");
    EXPECT_TRUE(removePlayerRecord(client.world, 3));
    EXPECT_FALSE(removePlayerRecord(client.world, 3));
}

// Joins, states, leaves, repeated Joins and a cleared world in a long seeded mix, with the
// table filled to all 255 numbers on the way: after every step each number finds the record
// a search of the table finds, through its slot, and the table holds no number twice.
TEST(PlayerRecords, EveryNumberFindsItsRecordThroughJoinsLeavesAndAFullTable) {
    WorldClient client(1);
    ClientWorld& world = client.world;
    std::uint64_t seed = 12345;
    auto nextNumber = [&seed] {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint8_t>(seed >> 56);
    };
    auto check = [&world](int step) {
        std::array<int, 256> seen{};
        for (const PlayerRecord& record : world.playerRecords) {
            ASSERT_EQ(++seen[record.number], 1) << "number " << int(record.number) << " twice, step " << step;
        }
        for (int number = 0; number < 256; ++number) {
            const auto& records = world.playerRecords;
            const auto found = std::find_if(records.begin(), records.end(),
                                            [number](const PlayerRecord& record) { return record.number == number; });
            const int expected = found == records.end() ? -1 : static_cast<int>(found - records.begin());
            ASSERT_EQ(findPlayerRecord(world, static_cast<std::uint8_t>(number)), expected)
                << "number " << number << ", step " << step;
            if (expected >= 0) {  // found through its slot, not by the search behind it
                ASSERT_EQ(world.playerSlots[static_cast<std::size_t>(number)], expected) << "step " << step;
            }
        }
    };
    for (int step = 0; step < 3000; ++step) {
        const std::uint8_t number = nextNumber();
        switch (step < 600 ? 0 : nextNumber() % 4) {
            case 0: client.receive({joinPacket(number, playerInfo(100, 100))}); break;
            case 1: client.receive({statePacket(number, playerInfo(120, 130))}); break;
            case 2: client.receive({makePacket(number, MsgType::Leave)}); break;
            default: removePlayerRecord(world, number); break;
        }
        if (step == 599) {
            for (int n = 1; n < 256; ++n) {
                addPlayerRecord(world, static_cast<std::uint8_t>(n), playerInfo(100, 100));
            }
            ASSERT_EQ(world.playerRecords.size(), 255u);
        }
        if (step == 2000) {
            clearWorld(world);
        }
        check(step);
    }
}

TEST(PlayerDrawing, BarAndNameHangUnderThePictureOfTheRecordsOwnFrame) {
    WorldClient client(1);
    client.media.display.backBuffer().fill(kFloor);
    addPlayerRecord(client.world, 2, playerInfo(300, 200, 0, "abcdefghijklmnopqrst"));  // 20 bytes
    addPlayerRecord(client.world, 3, playerInfo(500, 200, 2, "hello"));                 // 5 bytes
    addPlayerRecord(client.world, 4, playerInfo(300, 400, 1, "downed", 0));
    // Give the downed picture another size, so a bar placed by it would show.
    client.media.playerSprites[kDeadFrame].setGeometry(60, 20, 30, 10);
    drawPlayers(client.world, client.media);

    const SpriteFrame& standing = client.media.playerSprites[0];
    const int labelY = 200 - standing.hotSpotY() + standing.height();
    ASSERT_EQ(client.log.rectangles.size(), 3u);
    EXPECT_EQ(client.log.rectangles[0].rect, (PixelRect{220, labelY, 253, labelY + 5}));
    EXPECT_EQ(client.log.rectangles[0].brush, energyBarBrush);
    EXPECT_EQ(client.log.texts[0].x, 220);
    EXPECT_EQ(client.log.texts[0].y, labelY + 6);
    EXPECT_EQ(client.log.texts[0].colour, (Rgb{0, 0, 255}));
    EXPECT_EQ(client.log.texts[1].x, 500 - 16);

    // The bar's pixels: black outline, red inside, 33 pixels wide, floor after it.
    const Surface& screen = client.media.display.backBuffer();
    EXPECT_EQ(screen.pixel(220, labelY + 2), 0);
    EXPECT_EQ(screen.pixel(221, labelY + 2), kRed565);
    EXPECT_EQ(screen.pixel(251, labelY + 2), kRed565);
    EXPECT_EQ(screen.pixel(252, labelY + 2), 0);
    EXPECT_EQ(screen.pixel(253, labelY + 2), kFloor);
    int blueInside = 0;
    int blueBefore = 0;
    for (int x = 200; x < 380; ++x) {
        for (int y = labelY + 6; y < labelY + 22; ++y) {
            (x < 220 ? blueBefore : blueInside) += screen.pixel(x, y) == kBlue565;
        }
    }
    EXPECT_GT(blueInside, 50);
    EXPECT_EQ(blueBefore, 0);

    // The downed player: picture 24, an empty bar, both placed by its own frame 3.
    EXPECT_EQ(client.log.sprites[2].frame, &client.media.playerSprites[kDeadFrame]);
    const SpriteFrame& own = client.media.playerSprites[3];
    const int downY = 400 - own.hotSpotY() + own.height();
    EXPECT_EQ(client.log.rectangles[2].rect, (PixelRect{300 - 24, downY, 300 - 24, downY + 5}));
    EXPECT_EQ(client.log.texts[2].y, downY + 6);
}

TEST(PlayerRecords, OwnStateIsSentWithTheRecordAsStored) {
    WorldClient client(7);
    sendOwnState(client.world);
    EXPECT_TRUE(client.sent().empty());

    PlayerInfo info = playerInfo(0x123, 0x145, 3, "me", 77);
    info.spare = 5;
    info.motion = kWalkingForward;
    info.name[5] = 'x';  // bytes after the terminator travel as they came
    client.receive({joinPacket(7, info)});
    sendOwnState(client.world);
    const auto packets = client.sent();
    ASSERT_EQ(packets.size(), 1u);
    const std::vector<std::uint8_t> expected = {0xAA, 7, 8, 32, 77, 5, 3, 1, 9, 0, 0x23, 0x01, 0x45, 0x01,
                                                'm', 'e', 0, 0, 0, 'x', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                0, 0, 0, 0};
    const auto bytes = packets[0].wireBytes();
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), expected);
}

}  // namespace
}  // namespace kestrane::testing
