// The kestrane-bots command line.
#include <gtest/gtest.h>

#include <vector>

#include "bots/bot_options.h"

namespace kestrane {
namespace {

ParsedBotArguments parse(std::vector<std::string_view> arguments) { return parseBotArguments(arguments); }

TEST(BotOptions, DefaultsAndEveryOption) {
    const ParsedBotArguments none = parse({});
    EXPECT_FALSE(none.exitCode);
    EXPECT_EQ(none.options.server, "127.0.0.1");
    EXPECT_EQ(none.options.count, 4);
    EXPECT_EQ(none.options.namePrefix, "봇");
    EXPECT_FALSE(none.options.seed);
    EXPECT_EQ(none.options.durationSeconds, 0);

    const ParsedBotArguments all = parse({"--server", "game.example:6000", "--count", "254", "--name", "로봇",
                                          "--seed", "18446744073709551615", "--duration", "2.5", "--threads", "3",
                                          "--record-dir", "recordings"});
    ASSERT_FALSE(all.exitCode) << all.message;
    EXPECT_EQ(all.options.server, "game.example:6000");
    EXPECT_EQ(all.options.count, 254);
    EXPECT_EQ(all.options.namePrefix, "로봇");
    EXPECT_EQ(all.options.seed, 18446744073709551615ull);
    EXPECT_EQ(all.options.durationSeconds, 2.5);
    EXPECT_EQ(all.options.threads, 3);
    EXPECT_EQ(all.options.recordDirectory, "recordings");
    EXPECT_TRUE(none.options.recordDirectory.empty());
}

TEST(BotOptions, HelpShowsTheUsage) {
    const ParsedBotArguments help = parse({"--count", "3", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.message.find("--duration SECONDS"), std::string::npos);
}

TEST(BotOptions, BadArgumentsEndWithCodeTwoAndSayWhatIsWrong) {
    const std::vector<std::pair<std::vector<std::string_view>, std::string_view>> cases = {
        {{"--count", "0"}, "--count"},
        {{"--count", "256"}, "--count"},
        {{"--count", "4x"}, "--count"},
        {{"--server", ":5001"}, "--server"},
        {{"--server", "host:70000"}, "--server"},
        {{"--seed", "-1"}, "--seed"},
        {{"--duration", "-3"}, "--duration"},
        {{"--duration", "soon"}, "--duration"},
        {{"--threads", "0"}, "--threads"},
        {{"--name", ""}, "--name"},
        {{"--record-dir", ""}, "--record-dir"},
        {{"--count"}, "--count needs a value"},
        {{"--speed", "9"}, "unknown option '--speed'"},
    };
    for (const auto& [arguments, mentioned] : cases) {
        const ParsedBotArguments result = parse(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments.front();
        EXPECT_NE(result.message.find(mentioned), std::string::npos) << result.message;
    }
}

}  // namespace
}  // namespace kestrane
