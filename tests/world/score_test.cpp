// Kills and deaths counted from relayed Hits, the kill count carried in PlayerState's spare
// byte, the kill feed, the scoreboard and the hit flash.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/world/world_fixture.h"

namespace kestrane::testing {
namespace {

// Local player 1, and players 2 ("two") and 3 ("three") with the given energies.
struct Match : WorldClient {
    explicit Match(std::uint8_t energyOfTwo = 100, std::uint8_t energyOfThree = 100) : WorldClient(1, "me") {
        receive({joinPacket(1, playerInfo(300, 300, 0, "me")), statePacket(2, playerInfo(200, 200, 0, "two", energyOfTwo)),
                 statePacket(3, playerInfo(400, 400, 0, "three", energyOfThree)), headerPacket(0, MsgType::Resume)});
        sent();
    }
    std::pair<int, int> score(std::uint8_t number) { return {player(number).kills, player(number).deaths}; }
};

TEST(Score, AKillIsCreditedToTheOwnerOfTheShotOrMineThatTookTheLastEnergy) {
    struct Case {
        const char* what;
        std::uint8_t energyOfTwo;
        std::uint8_t owner;
        std::uint8_t kind;
        std::vector<std::pair<int, int>> scores;  // kills and deaths of players 1, 2, 3
        std::size_t feedLines;
    };
    const Case cases[] = {
        {"a shot from 5 energy", 5, 3, kShot, {{0, 0}, {0, 1}, {1, 0}}, 1},
        {"a mine from 7 energy (below 0)", 7, 1, kMine, {{1, 0}, {0, 1}, {0, 0}}, 1},
        {"a shot that leaves energy", 6, 3, kShot, {{0, 0}, {0, 0}, {0, 0}}, 0},
        {"a hit on a player already down", 0, 3, kShot, {{0, 0}, {0, 0}, {0, 0}}, 0},
        {"the player's own mine", 10, 2, kMine, {{0, 0}, {0, 1}, {0, 0}}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Match client(c.energyOfTwo);
        client.receive({firePacket(c.owner, 7, 50, 50, c.kind, 0), hitPacket(2, 7)});
        EXPECT_EQ(client.world.bulletRecords.size(), 0u);
        EXPECT_EQ((std::vector{client.score(1), client.score(2), client.score(3)}), c.scores);
        ASSERT_EQ(client.world.killFeed.size(), c.feedLines);
        if (c.feedLines == 1) {
            const KillFeedLine& line = client.world.killFeed.front();
            EXPECT_EQ(line.killer, c.owner);
            EXPECT_EQ(line.victim, 2);
            EXPECT_EQ(line.kind, c.kind);
            EXPECT_EQ(nameText(line.victimName), "two");
        }
    }
}

TEST(Score, AKillByAPlayerWhoHasLeftCountsTheDeathAndKeepsTheNamesInTheFeed) {
    Match client(5);
    client.receive({firePacket(3, 7, 50, 50, kShot, 0), headerPacket(3, MsgType::Leave), hitPacket(2, 7)});
    EXPECT_EQ(client.score(2), (std::pair{0, 1}));
    ASSERT_EQ(client.world.killFeed.size(), 1u);
    EXPECT_EQ(nameText(client.world.killFeed.front().killerName), "");
    EXPECT_EQ(nameText(client.world.killFeed.front().victimName), "two");
}

TEST(Score, TheOwnKillCountTravelsInSpareAndANewcomerLearnsItFromThePlayerState) {
    Match client(5);
    client.receive({firePacket(1, 7, 50, 50, kShot, 0), hitPacket(2, 7)});
    ASSERT_EQ(client.score(1), (std::pair{1, 0}));
    client.player(1).kills = 300;  // more than the byte holds
    client.receive({joinPacket(4, playerInfo(100, 100, 0, "four"))});
    const std::vector<PacketRecord> packets = client.sent();
    ASSERT_EQ(types(packets), std::vector<MsgType>{MsgType::PlayerState});
    const PlayerInfo own = *decodePlayerInfo(packets[0]);
    EXPECT_EQ(own.spare, 255);
    EXPECT_EQ(client.player(1).spare, 0);  // the record's own byte stays as it came

    // The newcomer's side: players met through their state start from what they carry; a
    // known player's later state does not reset the count this client made.
    WorldClient newcomer(4, "four");
    PlayerInfo three = playerInfo(400, 400, 0, "three");
    three.spare = 12;
    newcomer.receive({joinPacket(4, playerInfo(100, 100, 0, "four")), statePacket(3, three)});
    EXPECT_EQ(newcomer.player(3).kills, 12);
    EXPECT_EQ(newcomer.player(4).kills, 0);
    three.spare = 0;
    newcomer.receive({statePacket(3, three)});
    EXPECT_EQ(newcomer.player(3).kills, 12);
}

TEST(KillFeed, KeepsTheNewestFourAndDropsEachAfterFiveSecondsOfFrames) {
    Match client;
    for (std::uint16_t id = 1; id <= 5; ++id) {
        client.receive({statePacket(2, playerInfo(200, 200, 0, "two", 5)), firePacket(3, id, 50, 50, kShot, 0),
                        hitPacket(2, id)});
    }
    EXPECT_EQ(client.score(3), (std::pair{5, 0}));
    EXPECT_EQ(client.score(2), (std::pair{0, 5}));
    ASSERT_EQ(client.world.killFeed.size(), kKillFeedLinesKept);
    client.keys({});
    for (int frame = 0; frame < kKillFeedLifetime; ++frame) {
        client.frame();
    }
    EXPECT_EQ(client.world.killFeed.size(), kKillFeedLinesKept);
    client.log.clear();
    client.frame();
    EXPECT_TRUE(client.world.killFeed.empty());
    // The last frame still showed the lines: "three → two", right-aligned.
    const auto shown = std::count_if(client.log.texts.begin(), client.log.texts.end(), [](const DrawLog::Text& text) {
        return text.bytes == "three \xA1\xE6 two" && text.x + static_cast<int>(text.bytes.size()) * 8 == kFeedRight;
    });
    EXPECT_EQ(shown, static_cast<long>(kKillFeedLinesKept));
}

TEST(Scoreboard, ListsBestFirstMarksTheOwnRowAndIsDrawnOnlyWhileTabIsHeld) {
    Match client(5, 5);
    client.receive({firePacket(1, 1, 50, 50, kShot, 0), hitPacket(2, 1), firePacket(2, 2, 50, 50, kShot, 0),
                    hitPacket(3, 2), firePacket(1, 3, 50, 50, kShot, 0), statePacket(3, playerInfo(400, 400, 0, "three", 5)),
                    hitPacket(3, 3)});
    const std::vector<ScoreRow> rows = scoreboard(client.world);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].number, 1);  // two kills
    EXPECT_TRUE(rows[0].own);
    EXPECT_EQ(rows[1].number, 2);  // one kill, one death
    EXPECT_EQ(rows[2].number, 3);  // two deaths
    EXPECT_EQ(rows[2].deaths, 2);
    EXPECT_FALSE(rows[1].own);

    auto drawsNamed = [&client](std::string_view name) {
        return std::ranges::count_if(client.log.texts, [name](const DrawLog::Text& text) { return text.bytes == name; });
    };
    client.keys({kKeyTab});
    client.log.clear();
    client.frame();
    EXPECT_TRUE(client.world.frameView.scoreboard);
    EXPECT_EQ(drawsNamed("three"), 2);  // under the player, and its row
    EXPECT_EQ(drawsNamed("KILLS"), 1);
    client.keys({});
    client.log.clear();
    client.frame();
    EXPECT_EQ(drawsNamed("three"), 1);
    EXPECT_EQ(drawsNamed("KILLS"), 0);
}

TEST(HitFlash, AHitThatTakesEnergyFlashesTheVictimForAFewFrames) {
    Match client(50);
    client.receive({firePacket(3, 1, 50, 50, kShot, 0), hitPacket(2, 1)});
    EXPECT_EQ(client.player(2).hitFlash, kHitFlashFrames);
    EXPECT_EQ(client.player(3).hitFlash, 0);
    client.keys({});
    for (int frame = 0; frame < kHitFlashFrames; ++frame) {
        client.frame();
    }
    EXPECT_EQ(client.player(2).hitFlash, 0);
}

}  // namespace
}  // namespace kestrane::testing
