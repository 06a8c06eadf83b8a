// Whole matches: a real server, bots playing in this process and in their own processes, and a
// raw observer on the wire.
#include <signal.h>

#include <algorithm>

#include "tests/bots/match_fixture.h"

namespace kestrane::testing {
namespace {

using namespace std::chrono_literals;

std::uint64_t hitsSeenBy(Bot* bot) { return bot->counters().hitsSeen; }

TEST_F(MatchFixture, EveryJoinEndsInAResumeAndAfterPlayingAllWorldsAgree) {
    RawObserver observer;
    ASSERT_TRUE(observer.start(port, "watcher", 590, 455));
    joinBots(5, "m", 11);

    // Each join stopped every world until all players had answered with their state: the
    // observer saw a Resume for each, and each bot one for its own join and every later one.
    std::optional<std::vector<WorldView>> views = quietPoint();
    ASSERT_TRUE(views);
    expectAllAlike(*views);
    ASSERT_EQ(views->front().players.size(), 6u);
    EXPECT_EQ(observer.count(MsgType::Resume), 5);
    runner->withBotsHeld([](std::span<Bot* const> bots) {
        for (std::size_t i = 0; i < bots.size(); ++i) {
            EXPECT_EQ(bots[i]->counters().resumes, bots.size() - i) << "bot " << i + 1;
            EXPECT_TRUE(bots[i]->world().worldRunning) << "bot " << i + 1;
        }
    });
    const WorldView start = views->front();

    for (int round = 1; round <= 2; ++round) {
        play(6s);
        views = quietPoint();
        ASSERT_TRUE(views) << "no quiet point after round " << round;
        expectAllAlike(*views);
        EXPECT_EQ(views->front().players.size(), 6u);
    }

    // They played: players walked, and shots hit. Every bot applied the same Hits, which took
    // the same energy everywhere (the views agree), and the observer saw them on the wire too.
    EXPECT_NE(views->front().players, start.players);
    std::vector<std::uint64_t> hits;
    runner->withBotsHeld([&hits](std::span<Bot* const> bots) { std::ranges::transform(bots, std::back_inserter(hits), hitsSeenBy); });
    EXPECT_GT(hits.front(), 0u);
    EXPECT_TRUE(std::ranges::all_of(hits, [&](std::uint64_t count) { return count == hits.front(); }));
    EXPECT_TRUE(eventually([&] { return observer.count(MsgType::Hit) == static_cast<int>(hits.front()); }));
    const bool someoneHurt = std::ranges::any_of(views->front().players, [](const PlayerView& p) { return p.energy < 100; });
    int respawns = 0;
    runner->withBotsHeld([&respawns](std::span<Bot* const> bots) {
        for (Bot* bot : bots) respawns += static_cast<int>(bot->counters().respawns);
    });
    EXPECT_TRUE(someoneHurt || respawns > 0);
    // The scoreboards agree (the views hold them); every death came from some bullet.
    int kills = 0;
    int deaths = 0;
    for (const PlayerView& player : views->front().players) {
        kills += player.kills;
        deaths += player.deaths;
    }
    EXPECT_LE(kills, deaths);
    EXPECT_EQ(deaths > 0, respawns > 0 || std::ranges::any_of(views->front().players, [](const PlayerView& p) {
                              return p.energy == 0;
                          }));
}

TEST_F(MatchFixture, BotsThatLeaveOrAreKilledDisappearFromEveryTable) {
    RawObserver observer;
    ASSERT_TRUE(observer.start(port, "watcher", 590, 455));
    joinBots(3, "m", 12);
    runner->setBrainsPaused(false);

    // Two more bots, each in its own process: one leaves by itself after a few seconds, the
    // other is killed outright and never says goodbye.
    const std::string address = "127.0.0.1:" + std::to_string(port);
    ChildProcess quitter = botsProgram({"--server", address, "--count", "1", "--name", "quit", "--seed", "3", "--duration", "4"});
    ChildProcess victim = botsProgram({"--server", address, "--count", "1", "--name", "victim", "--seed", "4"});
    ASSERT_TRUE(quitter.started() && victim.started());
    auto everyoneSees = [](std::string_view name, bool present) {
        return [name, present](std::span<Bot* const> bots) {
            return std::ranges::all_of(bots, [&](Bot* bot) {
                return bot->phase() != BotPhase::Playing || hasPlayerNamed(bot->world(), name) == present;
            });
        };
    };
    ASSERT_TRUE(eventuallyHeld(everyoneSees("quit1", true))) << quitter.output();
    ASSERT_TRUE(eventuallyHeld(everyoneSees("victim1", true))) << victim.output();

    victim.signal(SIGKILL);
    EXPECT_EQ(victim.waitForExit(5s), 128 + SIGKILL);
    EXPECT_TRUE(eventuallyHeld(everyoneSees("victim1", false)));

    EXPECT_EQ(quitter.waitForExit(15s), 0);
    EXPECT_TRUE(eventuallyHeld(everyoneSees("quit1", false)));
    const std::string said = quitter.output();
    EXPECT_NE(said.find("quit1 (player "), std::string::npos) << said;
    EXPECT_NE(said.find("): left"), std::string::npos) << said;

    // And one of the bots here leaves while the others play on.
    const std::uint8_t leaver = [&] {
        std::uint8_t number = 0;
        runner->withBotsHeld([&number](std::span<Bot* const> bots) { number = bots[1]->playerNumber(); });
        return number;
    }();
    runner->leave(1);
    EXPECT_TRUE(eventuallyHeld(everyoneSees("m2", false)));
    // The server told everyone that stayed: the observer saw a Leave for each of the three.
    EXPECT_TRUE(eventually([&] { return observer.count(MsgType::Leave) == 3; }));
    EXPECT_EQ(observer.count(MsgType::Leave, leaver), 1);

    const std::optional<std::vector<WorldView>> views = quietPoint();
    ASSERT_TRUE(views);
    expectAllAlike(*views);
    EXPECT_EQ(views->front().players.size(), 3u);  // two bots and the observer
}

TEST_F(MatchFixture, ServerClosingReachesEveryBotAndEndsTheBotProgram) {
    RawObserver observer;
    ASSERT_TRUE(observer.start(port, "watcher", 590, 455));
    joinBots(3, "m", 13);
    runner->setBrainsPaused(false);
    ChildProcess others = botsProgram({"--server", "127.0.0.1:" + std::to_string(port), "--count", "2", "--name", "far", "--seed", "5"});
    ASSERT_TRUE(eventuallyHeld([](std::span<Bot* const> bots) {
        return std::ranges::all_of(bots, [](Bot* bot) { return bot->world().playerRecords.size() == 6; });
    })) << others.output();

    closeServer();
    EXPECT_TRUE(runner->waitUntil([&] { return runner->countInPhase(BotPhase::Gone) == 3; },
                                  std::chrono::steady_clock::now() + 5s));
    runner->withBotsHeld([](std::span<Bot* const> bots) {
        for (Bot* bot : bots) {
            EXPECT_EQ(bot->counters().serverClosings, 1u);
            EXPECT_FALSE(bot->world().worldRunning);
        }
    });
    EXPECT_TRUE(eventually([&] { return observer.count(MsgType::ServerClosing, 0) == 1; }));
    // The program sees the game end, lets its bots go and ends by itself.
    EXPECT_EQ(others.waitForExit(10s), 0);
    const std::string said = others.output();
    EXPECT_NE(said.find("the server closed the game"), std::string::npos) << said;
}

}  // namespace
}  // namespace kestrane::testing
