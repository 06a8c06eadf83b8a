// The player registry and the State log on their own: numbering, join and leave lines, display.
#include <gtest/gtest.h>

#include "platform/text_encoding.h"
#include "server/player_table.h"
#include "server/server_texts.h"

namespace kestrane {
namespace {

class PlayerTableTest : public ::testing::Test {
protected:
    PlayerInfo joinInfo(std::string_view name) {
        PlayerInfo info;
        info.energy = 100;
        info.x = 321;
        info.y = -7;
        info.direction = 3;
        info.name = makeNameField(name);
        return info;
    }

    ServerLog log;
    ServerStatus status;
    PlayerTable players{log, status};
};

TEST_F(PlayerTableTest, NumbersRunInOrderThenTheLongestFreeButNeverAHeldOne) {
    players.showPlayerCount();
    EXPECT_EQ(status.snapshot().playerCount, "0");
    for (int i = 1; i <= 255; ++i) {
        ASSERT_TRUE(players.registerConnection(TcpSocket()));
        EXPECT_EQ(players[players.size() - 1].number, i);  // in order, none reused while fresh ones remain
        if (i % 3 == 0) {
            ASSERT_TRUE(players.removePlayer(static_cast<std::uint8_t>(i)));
            players.flushAll();
        }
    }
    EXPECT_EQ(players.size(), 170u);
    EXPECT_EQ(players.lastPlayerNumber(), 255);
    EXPECT_EQ(players.findPlayer(256 + 4), 2);  // only the low 8 bits count
    EXPECT_EQ(players.findPlayer(3), -1);

    // Removed, but its Leave has not gone out yet: not free.
    ASSERT_TRUE(players.removePlayer(100));
    for (const int expected : {3, 6, 9}) {  // free the longest
        ASSERT_TRUE(players.registerConnection(TcpSocket()));
        EXPECT_EQ(players[players.size() - 1].number, expected);
    }
    players.flushAll();
    std::vector<int> handedOut;
    while (players.registerConnection(TcpSocket())) {
        handedOut.push_back(players[players.size() - 1].number);
    }
    ASSERT_EQ(handedOut.size(), 83u);  // the 85 freed, less the 3 above, and 100
    EXPECT_EQ(handedOut.front(), 12);
    EXPECT_EQ(handedOut[handedOut.size() - 2], 255);
    EXPECT_EQ(handedOut.back(), 100);  // the last to become free
    EXPECT_EQ(players.size(), 255u);
    EXPECT_FALSE(players.hasFreeNumber());
}

TEST_F(PlayerTableTest, RemovalKeepsJoinOrderAndUpdatesTheDisplay) {
    for (int i = 0; i < 3; ++i) {
        players.registerConnection(TcpSocket());
    }
    players.showPlayerCount();
    ASSERT_TRUE(players.recordJoin(1, joinInfo("Ann").encode()));
    EXPECT_TRUE(players.removePlayer(2));
    EXPECT_FALSE(players.removePlayer(2));
    ASSERT_EQ(players.size(), 2u);
    EXPECT_EQ(players[0].number, 1);
    EXPECT_EQ(players[1].number, 3);
    const ServerStatus::Snapshot shown = status.snapshot();
    EXPECT_EQ(shown.playerCount, "2");
    EXPECT_EQ(shown.players, (std::vector<PlayerListRow>{{1, "Ann"}, {3, ""}}));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"[ Ann ] 님이 들어오셨습니다.", "[  ] 님이 나가셨습니다."}));
}

TEST_F(PlayerTableTest, JoinStoresTheDetailsAndLogsTheNameReadably) {
    players.registerConnection(TcpSocket());
    EXPECT_FALSE(players.recordJoin(9, joinInfo("Nobody").encode()));
    EXPECT_TRUE(log.lines().empty());

    ASSERT_TRUE(players.recordJoin(1, joinInfo("abcdefghijklmnopqrst").encode()));  // 20 bytes, whole
    EXPECT_EQ(players[0].x, 321);
    EXPECT_EQ(players[0].y, -7);
    EXPECT_EQ(players[0].direction, 3);
    ASSERT_TRUE(players.recordJoin(1, joinInfo(utf8ToCp949("김철수")).encode()));  // a second Join overwrites
    ASSERT_TRUE(players.recordJoin(1, joinInfo("red\x1b[31m\n").encode()));
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"[ abcdefghijklmnopqrst ] 님이 들어오셨습니다.",
                                                     "[ 김철수 ] 님이 들어오셨습니다.",
                                                     "[ red?[31m? ] 님이 들어오셨습니다."}));
    // A short Join payload reads as zero-filled.
    ASSERT_TRUE(players.recordJoin(1, std::vector<std::uint8_t>{50}));
    EXPECT_EQ(players[0].energy, 50);
    EXPECT_EQ(nameText(players[0].name), "");
}

TEST(ServerLog, KeepsOrderClearsAndForgetsTheOldestBeyondItsBound) {
    ServerLog log;
    std::vector<std::string> heard;
    log.setListener([&](std::string_view line) { heard.emplace_back(line); });
    log.logLine("one");
    log.clear();
    EXPECT_TRUE(log.lines().empty());
    for (std::size_t i = 0; i < ServerLog::kMaxLines + 2; ++i) {
        log.logLine(std::to_string(i));
    }
    EXPECT_EQ(log.size(), ServerLog::kMaxLines);
    EXPECT_EQ(log.lines().front(), "2");
    EXPECT_EQ(log.lines().back(), std::to_string(ServerLog::kMaxLines + 1));
    EXPECT_EQ(heard.size(), ServerLog::kMaxLines + 3);
}

}  // namespace
}  // namespace kestrane
