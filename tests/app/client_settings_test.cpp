// client.ini: the round trip, files that are missing, malformed or cannot be written, the
// command line winning over the file, and the key bindings.
#include "client/app/client_settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

namespace kestrane {
namespace {

namespace fs = std::filesystem;

struct SettingsDir : ::testing::Test {
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kestrane-settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        path = dir / "kestrane" / "client.ini";
    }
    void TearDown() override { fs::remove_all(dir); }
    void writeFile(const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }
    std::string fileText(const fs::path& file) {
        std::ostringstream text;
        text << std::ifstream(file).rdbuf();
        return text.str();
    }
    fs::path dir;
    fs::path path;
};

TEST_F(SettingsDir, WhatIsWrittenIsReadBackAndTheFileIsReplacedWhole) {
    ClientSettings settings;
    settings.server = "192.168.1.20:6000";
    settings.name = "미나 Mina";
    settings.volume = 30;
    settings.muted = true;
    settings.fullScreen = false;
    settings.keys[static_cast<std::size_t>(KeyAction::Shot)] = 0x1D;  // left Ctrl
    settings.keys[static_cast<std::size_t>(KeyAction::Forward)] = 0x11;  // W
    std::string error;
    ASSERT_TRUE(writeSettings(path, settings, false, error)) << error;
    LoadedSettings loaded = readSettings(path);
    EXPECT_EQ(loaded.problem, "");
    EXPECT_EQ(loaded.settings, settings);
    EXPECT_NE(fileText(path).find("key.shot = Left Ctrl\n"), std::string::npos) << fileText(path);

    settings.volume = 90;
    ASSERT_TRUE(writeSettings(path, settings, false, error)) << error;
    EXPECT_EQ(readSettings(path).settings.volume, 90);
    EXPECT_EQ(std::distance(fs::directory_iterator(path.parent_path()), fs::directory_iterator{}), 1)
        << "no temporary file is left behind";
}

TEST_F(SettingsDir, MissingUnreadableAndMalformedFilesGiveTheDefaultsAndOneLine) {
    const ClientSettings defaults;
    struct Case {
        const char* text;  // null: no file
        const char* said;
        bool malformed;
    };
    const Case cases[] = {
        {nullptr, "no settings in", false},
        {"volume = 250\n", "line 2: volume must be 0 to 100", true},
        {"name = a\nfullscreen = maybe\n", "line 3: fullscreen must be yes or no", true},
        {"# fine\n\nserver\n", "line 4: expected NAME = VALUE", true},
        {"colour = red\n", "unknown setting \"colour\"", true},
        {"key.shot = Nokey\n", "no key is called \"Nokey\"", true},
        {"key.jump = Space\n", "no action is called \"jump\"", true},
        {"key.mine = Space\n", "key.mine on a key another action has", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said);
        fs::remove_all(path.parent_path());
        if (c.text != nullptr) {
            writeFile(std::string("server = kept.example\n") + c.text);
        }
        const LoadedSettings loaded = readSettings(path);
        EXPECT_EQ(loaded.settings, defaults);
        EXPECT_NE(loaded.problem.find(c.said), std::string::npos) << loaded.problem;
        EXPECT_EQ(loaded.problem.find('\n'), std::string::npos);
        EXPECT_EQ(loaded.malformed, c.malformed);
    }
    // A directory where the file should be cannot be read either.
    fs::remove_all(path.parent_path());
    fs::create_directories(path);
    EXPECT_NE(readSettings(path).problem.find("cannot read"), std::string::npos);
}

TEST_F(SettingsDir, AMalformedFileIsKeptAsideAndAnUnwritablePlaceLeavesThingsAsTheyWere) {
    writeFile("volume = loud\n");
    std::string error;
    ASSERT_TRUE(writeSettings(path, ClientSettings{}, true, error)) << error;
    EXPECT_EQ(fileText(fs::path(path.string() + ".bad")), "volume = loud\n");
    EXPECT_EQ(readSettings(path).problem, "");

    // The configuration directory is a file: nothing can be made under it (even as root).
    const fs::path blocked = dir / "blocked";
    std::ofstream(blocked) << "not a directory";
    EXPECT_FALSE(writeSettings(blocked / "kestrane" / "client.ini", ClientSettings{}, false, error));
    EXPECT_NE(error.find("cannot make"), std::string::npos) << error;
    EXPECT_EQ(fileText(blocked), "not a directory");
}

TEST(SettingsPlace, FollowsXdgConfigHomeAndFallsBackToTheHomeDirectory) {
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = oldConfig != nullptr ? oldConfig : "";
    const std::string savedHome = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
    EXPECT_EQ(settingsPath(), fs::path("/tmp/cfg/kestrane/client.ini"));
    setenv("XDG_CONFIG_HOME", "", 1);
    setenv("HOME", "/home/mina", 1);
    EXPECT_EQ(settingsPath(), fs::path("/home/mina/.config/kestrane/client.ini"));
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    setenv("HOME", savedHome.c_str(), 1);
}

TEST(StartChoices, TheCommandLineWinsOverTheRememberedSettings) {
    ClientSettings settings;
    settings.server = "remembered:5001";
    settings.name = "remembered";
    ClientOptions none;
    StartChoices choices = startChoices(none, settings);
    EXPECT_EQ(choices.server, "remembered:5001");
    EXPECT_EQ(choices.name, "remembered");
    EXPECT_FALSE(choices.windowed);

    ClientOptions given;
    given.server = "10.0.0.1";
    given.name = "typed";
    given.windowed = true;
    choices = startChoices(given, settings);
    EXPECT_EQ(choices.server, "10.0.0.1");
    EXPECT_EQ(choices.name, "typed");
    EXPECT_TRUE(choices.windowed);
    settings.fullScreen = false;
    EXPECT_TRUE(startChoices(none, settings).windowed);
}

TEST(KeyBindings, TheBoundKeysDriveTheGamesKeysAndTheDefaultKeysNoLongerDo) {
    KeyCodes keys = defaultKeyCodes();
    keys[static_cast<std::size_t>(KeyAction::Shot)] = 0x1D;     // left Ctrl shoots
    keys[static_cast<std::size_t>(KeyAction::Mine)] = kKeySpace;  // Space lays mines
    KeyState physical{};
    setKeyDown(physical, 0x1D, true);
    setKeyDown(physical, kKeyUp, true);
    KeyState game = bindKeys(physical, keys);
    EXPECT_TRUE(isKeyDown(game, kKeySpace));
    EXPECT_FALSE(isKeyDown(game, kKeyLeftAlt));
    EXPECT_TRUE(isKeyDown(game, kKeyUp));

    physical = {};
    setKeyDown(physical, kKeySpace, true);
    setKeyDown(physical, kKeyLeftAlt, true);  // bound to nothing now
    game = bindKeys(physical, keys);
    EXPECT_FALSE(isKeyDown(game, kKeySpace));
    EXPECT_TRUE(isKeyDown(game, kKeyLeftAlt));
    EXPECT_EQ(bindKeys(physical, defaultKeyCodes()), physical);
}

}  // namespace
}  // namespace kestrane
