// Input scripts: reading them, and playing them frame by frame against a fake client.
#include <gtest/gtest.h>

#include "client/app/input_script.h"

namespace kestrane {
namespace {

std::vector<ScriptCommand> parsed(std::string_view text) {
    std::string error;
    std::optional<std::vector<ScriptCommand>> commands = parseInputScript(text, error);
    EXPECT_TRUE(commands) << error;
    return commands.value_or(std::vector<ScriptCommand>{});
}

std::string parseError(std::string_view text) {
    std::string error;
    EXPECT_FALSE(parseInputScript(text, error));
    return error;
}

TEST(InputScript, ReadsEveryCommandAndSkipsCommentsAndBlankLines) {
    const std::vector<ScriptCommand> commands = parsed(
        "# a walk\n"
        "\n"
        "wait-players 2\r\n"
        "  hold up  space \n"
        "wait-frames 10\n"
        "hold\n"
        "type hello  there 안녕\n"
        "key f12\n"
        "screenshot shots/a.png\n"
        "close");
    ASSERT_EQ(commands.size(), 8u);
    using Kind = ScriptCommand::Kind;
    EXPECT_EQ(commands[0].kind, Kind::WaitPlayers);
    EXPECT_EQ(commands[0].count, 2);
    EXPECT_EQ(commands[0].line, 3);
    EXPECT_EQ(commands[1].kind, Kind::Hold);
    KeyState upAndSpace{};
    upAndSpace[kKeyUp] = kKeyDownBit;
    upAndSpace[kKeySpace] = kKeyDownBit;
    EXPECT_EQ(commands[1].keys, upAndSpace);
    EXPECT_EQ(commands[2].count, 10);
    EXPECT_EQ(commands[3].keys, KeyState{});
    EXPECT_EQ(commands[4].text, "hello  there 안녕");  // inner spaces are typed too
    EXPECT_EQ(commands[5].key, ScriptKey::F12);
    EXPECT_EQ(commands[6].text, "shots/a.png");
    EXPECT_EQ(commands[7].kind, Kind::Close);
    EXPECT_EQ(commands[7].line, 10);
}

TEST(InputScript, MistakesNameTheirLine) {
    EXPECT_EQ(parseError("close\njump 3\n"), "line 2: unknown command 'jump'");
    EXPECT_EQ(parseError("wait-frames ten"), "line 1: wait-frames wants a whole number, not 'ten'");
    EXPECT_EQ(parseError("wait-players -1"), "line 1: wait-players wants a whole number, not '-1'");
    EXPECT_EQ(parseError("hold up rocket"), "line 1: hold knows no key 'rocket'");
    EXPECT_EQ(parseError("key f1"), "line 1: key knows no key 'f1'");  // F1 is a game key: hold it
    EXPECT_EQ(parseError("screenshot"), "line 1: screenshot wants a file name");
    EXPECT_EQ(parseError("wait-chat  "), "line 1: wait-chat wants the text to wait for");
}

class FakeClient : public ScriptHost {
public:
    double now() const override { return clock; }
    bool worldRunning() const override { return running; }
    std::vector<std::string> playerNames() const override { return names; }
    std::vector<std::string> chatLines() const override { return lines; }
    void setKeys(const KeyState& state) override { keys = state; }
    void typeText(std::string_view utf8) override { actions.push_back("type " + std::string(utf8)); }
    void pressKey(ScriptKey key) override { actions.push_back("key " + std::to_string(static_cast<int>(key))); }
    void requestScreenshot(const std::string& file) override { actions.push_back("shot " + file); }
    void requestClose() override { actions.push_back("close"); }
    void report(const std::string& line) override { reports.push_back(line); }
    void reportError(const std::string& line) override { errors.push_back(line); }

    double clock = 0;
    bool running = false;
    std::vector<std::string> names;
    std::vector<std::string> lines;
    KeyState keys{};
    std::vector<std::string> actions;
    std::vector<std::string> reports;
    std::vector<std::string> errors;
};

TEST(ScriptPlayer, HoldsKeysForTheFramesAskedAndRunsCommandsUpToTheNextWait) {
    ScriptPlayer player(parsed("hold up\nwait-frames 3\nhold\ntype hi\nkey enter\nwait-frames 1\nclose"));
    FakeClient client;
    std::vector<bool> upDown;
    for (int frame = 0; frame < 6; ++frame) {
        player.step(client);
        upDown.push_back(client.keys[kKeyUp] != 0);
    }
    // Up is down in exactly three frames; the next frame releases it and types and presses
    // in the same frame; the close comes one frame later.
    EXPECT_EQ(upDown, (std::vector<bool>{true, true, true, false, false, false}));
    EXPECT_EQ(client.actions, (std::vector<std::string>{"type hi", "key 0", "close"}));
    EXPECT_TRUE(player.finished());
    EXPECT_FALSE(player.failed());
}

TEST(ScriptPlayer, WaitsForARunningWorldWithThatManyPlayers) {
    ScriptPlayer player(parsed("wait-players 2\nscreenshot two.png"));
    FakeClient client;
    client.names = {"Kim", "Lee"};
    player.step(client);  // two players, but the world waits for its Resume
    EXPECT_TRUE(client.reports.empty());
    client.running = true;
    client.names = {"Kim", "Lee", "Park"};
    player.step(client);
    EXPECT_TRUE(client.reports.empty());
    client.names = {"Kim", "Lee"};
    player.step(client);
    EXPECT_EQ(client.reports, std::vector<std::string>{"script: players 2: Kim, Lee"});
    EXPECT_EQ(client.actions, std::vector<std::string>{"shot two.png"});
}

TEST(ScriptPlayer, WaitsForAChatLineContainingTheText) {
    ScriptPlayer player(parsed("wait-chat hello Bob\nclose"));
    FakeClient client;
    client.lines = {"[Bob] hello", "[Kim] hello  Bob"};
    player.step(client);
    EXPECT_TRUE(client.actions.empty());
    client.lines.push_back("[Lee] well, hello Bob!");
    player.step(client);
    EXPECT_EQ(client.reports, std::vector<std::string>{"script: chat hello Bob"});
    EXPECT_EQ(client.actions, std::vector<std::string>{"close"});
}

TEST(ScriptPlayer, GivesUpAWaitAfterTheLimitAndClosesTheWindow) {
    ScriptPlayer player(parsed("\nwait-players 3\nclose"));
    FakeClient client;
    client.running = true;
    player.step(client);
    client.clock = kScriptWaitLimit - 1;
    player.step(client);
    EXPECT_FALSE(player.failed());
    client.clock = kScriptWaitLimit + 1;
    player.step(client);
    EXPECT_TRUE(player.failed());
    EXPECT_EQ(client.errors, std::vector<std::string>{"script line 2: gave up waiting for 3 players"});
    EXPECT_EQ(client.actions, std::vector<std::string>{"close"});
    player.step(client);  // nothing more after giving up
    EXPECT_EQ(client.actions.size(), 1u);
}

}  // namespace
}  // namespace kestrane
