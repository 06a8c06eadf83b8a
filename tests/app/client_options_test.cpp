// kestrane-client's command line and where it looks for its data files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "client/app/client_options.h"
#include "client/app/data_directory.h"

namespace kestrane {
namespace {

ParsedCommandLine parse(std::initializer_list<std::string_view> arguments) {
    const std::vector<std::string_view> list(arguments);
    return parseClientOptions(list);
}

TEST(ClientOptions, EveryOptionIsRead) {
    const ParsedCommandLine parsed =
        parse({"--server", "10.0.0.7:6000", "--name", "김철수", "--connect", "--windowed", "--screenshot-dir", "shots",
               "--screenshot-every", "2.5", "--script", "moves.txt", "--record", "mine.krec"});
    ASSERT_FALSE(parsed.exitStatus) << parsed.message;
    const ClientOptions& options = parsed.options;
    EXPECT_EQ(options.server, "10.0.0.7:6000");
    EXPECT_EQ(options.name, "김철수");
    EXPECT_TRUE(options.connect);
    EXPECT_TRUE(options.windowed);
    EXPECT_EQ(options.screenshotDir, "shots");
    EXPECT_DOUBLE_EQ(options.screenshotEvery, 2.5);
    EXPECT_EQ(options.script, "moves.txt");
    EXPECT_EQ(options.record, "mine.krec");
    const ParsedCommandLine watching = parse({"--play", "match.krec", "--windowed", "--screenshot-every", "1"});
    ASSERT_FALSE(watching.exitStatus) << watching.message;
    EXPECT_EQ(watching.options.play, "match.krec");

    const ParsedCommandLine none = parse({});
    ASSERT_FALSE(none.exitStatus);
    EXPECT_FALSE(none.options.server);
    EXPECT_FALSE(none.options.connect);
    EXPECT_FALSE(none.options.windowed);
}

TEST(ClientOptions, HelpEndsAtOnceWithTheUsage) {
    const ParsedCommandLine parsed = parse({"--windowed", "--help", "--bogus"});
    EXPECT_EQ(parsed.exitStatus, kExitOk);
    EXPECT_TRUE(parsed.message.starts_with("Usage: kestrane-client"));
    EXPECT_NE(parsed.message.find("Alt+F4"), std::string::npos);
}

TEST(ClientOptions, MistakesAreUsageErrorsThatSayWhat) {
    const auto error = [](std::initializer_list<std::string_view> arguments, std::string_view mentions) {
        const ParsedCommandLine parsed = parse(arguments);
        EXPECT_EQ(parsed.exitStatus, kExitUsage) << mentions;
        EXPECT_NE(parsed.message.find(mentions), std::string::npos) << parsed.message;
    };
    error({"--connect", "--server", "host"}, "--connect needs both");
    error({"--connect", "--name", "Lee"}, "--connect needs both");
    error({"--server", "host:0"}, "--server");
    error({"--server", "host:70000"}, "--server");
    error({"--server", ":5001"}, "--server");
    error({"--server"}, "--server wants a value");
    error({"--name"}, "--name wants a value");
    error({"--screenshot-every", "0"}, "--screenshot-every");
    error({"--screenshot-every", "soon"}, "--screenshot-every");
    error({"--fullscreen"}, "unknown option '--fullscreen'");
    error({"--play"}, "--play wants a value");
    error({"--play", "a.krec", "--connect", "--server", "h", "--name", "n"}, "--play watches a recording");
    error({"--play", "a.krec", "--record", "b.krec"}, "--play watches a recording");
    error({"--play", "a.krec", "--script", "s.txt"}, "--play watches a recording");
}

// A fresh directory under the system's temporary directory, removed at the end.
class TempTree {
public:
    TempTree() {
        std::random_device random;
        root_ = std::filesystem::temp_directory_path() / ("kestrane-data-" + std::to_string(random()));
        std::filesystem::create_directories(root_);
    }
    ~TempTree() { std::filesystem::remove_all(root_); }
    std::filesystem::path dir(std::string_view name, std::initializer_list<std::string_view> files) const {
        const std::filesystem::path path = root_ / name;
        std::filesystem::create_directories(path);
        for (const std::string_view file : files) {
            std::ofstream(path / file) << "x";
        }
        return path;
    }
    std::filesystem::path withAllDataFiles(std::string_view name) const {
        const std::filesystem::path path = dir(name, {});
        for (const std::string_view file : clientDataFiles()) {
            std::ofstream(path / file) << "x";
        }
        return path;
    }

private:
    std::filesystem::path root_;
};

TEST(DataDirectory, MissingFilesAreListedInOrderAndNamesAreExact) {
    TempTree tree;
    const auto some = tree.dir("some", {"Player.spr", "background.bmp", "3.wav", "bullet.spr"});
    const std::vector<std::string_view> missing = missingDataFiles(some);
    // "bullet.spr" is not "bullet.Spr": the names are matched as the game opens them, which on
    // a file system that ignores case (Windows) finds it.
    const bool namesIgnoreCase = std::filesystem::exists(some / "BULLET.SPR");
    std::vector<std::string_view> expected{"bullet.Spr", "Etc.Spr", "1.wav", "2.wav", "4.wav", "5.wav", "6.wav"};
    if (namesIgnoreCase) {
        expected.erase(expected.begin());
    }
    EXPECT_EQ(missing, expected);
    EXPECT_TRUE(missingDataFiles(tree.withAllDataFiles("all")).empty());
    EXPECT_EQ(missingDataFiles(tree.dir("none", {})).size(), clientDataFiles().size());
}

TEST(DataDirectory, FirstCompleteCandidateWinsElseTheOneWithFewestGapsAndTheProblemIsTold) {
    TempTree tree;
    const auto complete = tree.withAllDataFiles("complete");
    const auto program = tree.withAllDataFiles("program");
    const auto empty = tree.dir("empty", {});
    const auto partial = tree.dir("partial", {"Player.spr", "Etc.Spr"});
    const auto lessPartial = tree.dir("less", {"Player.spr", "Etc.Spr", "1.wav", "2.wav", "3.wav", "4.wav", "5.wav",
                                               "6.wav"});
    const auto gone = empty / "gone";
    using Paths = std::vector<std::filesystem::path>;
    struct Case {
        Paths candidates;
        std::filesystem::path chosen;
        std::string problem;  // a part of it
    };
    const std::vector<Case> cases = {
        {{complete, program}, complete, ""},
        {{empty, program}, program, ""},  // started from anywhere
        {{partial, gone, program}, program, ""},
        {{partial, lessPartial}, lessPartial,  // neither whole: fewer gaps, and why
         "no folder holds all of the game's data files; looked in " + partial.string() + " and " +
             lessPartial.string() + "; using " + lessPartial.string() + ", which lacks bullet.Spr and background.bmp"},
        {{lessPartial, partial}, lessPartial, "which lacks bullet.Spr and background.bmp"},
        {{empty, gone, empty / "other"}, empty,
         "cannot find the game's data files (Player.spr, bullet.Spr, Etc.Spr, background.bmp, 1.wav to 6.wav); "
         "looked in " + empty.string() + ", " + gone.string() + " and " + (empty / "other").string()},
        {{}, "", "nowhere to look"},
    };
    for (const Case& c : cases) {
        const DataDirectoryChoice choice = chooseDataDirectory(c.candidates);
        EXPECT_EQ(choice.directory, c.chosen) << c.problem;
        if (c.problem.empty()) {
            EXPECT_EQ(choice.problem, "");
        } else {
            EXPECT_NE(choice.problem.find(c.problem), std::string::npos) << choice.problem;
        }
    }
}

TEST(DataDirectory, CandidatesAreWorkingThenProgramThenInstalledShareWithoutRepeats) {
    using Paths = std::vector<std::filesystem::path>;
    EXPECT_EQ(dataDirectoryCandidates("/home/mina", "/opt/kestrane/bin"),
              (Paths{"/home/mina", "/opt/kestrane/bin", "/opt/kestrane/share/kestrane"}));
    EXPECT_EQ(dataDirectoryCandidates("/usr/bin/", "/usr/bin"), (Paths{"/usr/bin", "/usr/share/kestrane"}));
    EXPECT_EQ(dataDirectoryCandidates(std::nullopt, "/usr/bin"), (Paths{"/usr/bin", "/usr/share/kestrane"}));
    EXPECT_EQ(dataDirectoryCandidates("/srv/game", std::nullopt), (Paths{"/srv/game"}));
}

TEST(DataDirectory, ProgramDirectoryIsWhereThisTestProgramLives) {
    const std::optional<std::filesystem::path> directory = programDirectory();
    ASSERT_TRUE(directory);
    EXPECT_TRUE(std::filesystem::exists(*directory / "app_tests") || std::filesystem::exists(*directory / "app_tests.exe"));
}

}  // namespace
}  // namespace kestrane
