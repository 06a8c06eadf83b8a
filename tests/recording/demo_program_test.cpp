// demo_program_test.cpp -- a match of the real server and three kestrane-bots players, each
// recording it, checked by kestrane-demo: the recordings agree Tick by Tick, and a copy with
// one packet changed is caught at the Tick and field it changed. Also watched with
// kestrane-client --play, which saves what it shows.
#include <gtest/gtest.h>

#include <signal.h>

#include <regex>

#include "common/protocol.h"
#include "recording/recording_file.h"
#include "tests/media/test_files.h"
#include "tests/support/child_process.h"

#if !defined(KESTRANE_SERVER_PROGRAM) || !defined(KESTRANE_BOTS_PROGRAM) || !defined(KESTRANE_DEMO_PROGRAM) || \
    !defined(KESTRANE_CLIENT_PROGRAM)
#error "the build names the programs"
#endif

namespace kestrane::testing {
namespace {

using namespace std::chrono_literals;

struct DemoRun {
    int status;
    std::string out;
    std::string err;
};

DemoRun demo(std::vector<std::string> arguments) {
    ChildProcess program(KESTRANE_DEMO_PROGRAM, std::move(arguments));
    const std::optional<int> status = program.waitForExit(60s);
    std::string out;
    while (const std::optional<std::string> line = program.nextLine(100ms)) {
        out += *line + "\n";
    }
    return {status.value_or(-1), out + program.output(), program.errorText()};
}

// The server with --record and three bots with --record-dir, for a few seconds of play.
class RecordedMatch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        directory = new TempDir;
        ChildProcess server(KESTRANE_SERVER_PROGRAM,
                            {"--headless", "--port", "0", "--record", directory->file("server.krec")});
        std::optional<std::string> portLine;
        do {  // time-stamped log lines
            portLine = server.nextLine(10s);
        } while (portLine && portLine->find(" Port : ") == std::string::npos);
        ASSERT_TRUE(portLine) << server.errorText();
        std::smatch port;
        ASSERT_TRUE(std::regex_search(*portLine, port, std::regex("Port : (\\d+)")));
        ChildProcess bots(KESTRANE_BOTS_PROGRAM, {"--server", "127.0.0.1:" + port[1].str(), "--count", "3", "--seed",
                                                  "7", "--duration", "5", "--record-dir", directory->file("bots")});
        ASSERT_EQ(bots.waitForExit(30s), 0) << bots.errorText();
        server.signal(SIGTERM);
        ASSERT_EQ(server.waitForExit(10s), 0) << server.errorText();
    }
    static void TearDownTestSuite() {
        delete directory;
        directory = nullptr;
    }

    static std::vector<std::string> allFiles() {
        return {directory->file("server.krec"), directory->file("bots/bot1.krec"), directory->file("bots/bot2.krec"),
                directory->file("bots/bot3.krec")};
    }

    static TempDir* directory;
};

TempDir* RecordedMatch::directory = nullptr;

TEST_F(RecordedMatch, EveryRecordingIsCompleteAndInfoTellsWhatItHolds) {
    for (const std::string& file : allFiles()) {
        std::string error;
        const std::optional<Recording> recording = loadRecording(file, error);
        ASSERT_TRUE(recording) << file << ": " << error;
        EXPECT_TRUE(recording->closed && recording->problem.empty()) << file << ": " << recording->problem;
    }
    const DemoRun server = demo({"info", directory->file("server.krec")});
    EXPECT_EQ(server.status, 0) << server.err;
    EXPECT_NE(server.out.find("server recording by Kestrane"), std::string::npos) << server.out;
    EXPECT_NE(server.out.find("local player: none"), std::string::npos) << server.out;
    EXPECT_TRUE(std::regex_search(server.out, std::regex("players: 3\n  1 \"봇1\"\n  2 \"봇2\"\n  3 \"봇3\"\n")))
        << server.out;
    EXPECT_TRUE(std::regex_search(server.out, std::regex("duration [5-9]\\.\\d\\d s, (9\\d|1\\d\\d) ticks")))
        << server.out;
    EXPECT_TRUE(std::regex_search(server.out, std::regex("  Join +3\n"))) << server.out;
    const DemoRun bot = demo({"info", directory->file("bots/bot2.krec")});
    EXPECT_NE(bot.out.find("local player: 2 \"봇2\""), std::string::npos) << bot.out;
}

TEST_F(RecordedMatch, VerifyFindsAgreementAndTheFirstTickAndFieldOfAChangedPacket) {
    const DemoRun agreed = demo({"verify", allFiles()[0], allFiles()[1], allFiles()[2], allFiles()[3]});
    EXPECT_EQ(agreed.status, 0) << agreed.out << agreed.err;
    std::smatch ticks;
    ASSERT_TRUE(std::regex_search(agreed.out, ticks, std::regex("^in agreement: (\\d+) ticks compared"))) << agreed.out;
    EXPECT_GT(std::stoi(ticks[1].str()), 80);

    // Bot 2's copy, with the energy in bot 1's last PlayerState changed to 37.
    std::string error;
    std::optional<Recording> recording = loadRecording(directory->file("bots/bot2.krec"), error);
    ASSERT_TRUE(recording) << error;
    std::size_t ticksBefore = 0;
    std::optional<std::size_t> changed;
    std::size_t ticksAtChange = 0;
    for (std::size_t i = 0; i < recording->events.size(); ++i) {
        const PacketRecord& packet = recording->events[i].packet;
        if (recording->events[i].kind != RecordingEvent::Kind::Packet) {
            continue;
        }
        if (packet.msgType() == MsgType::Tick) {
            ++ticksBefore;
        } else if (packet.msgType() == MsgType::PlayerState && packet.header.sender == 1) {
            changed = i;
            ticksAtChange = ticksBefore;
        }
    }
    ASSERT_TRUE(changed) << "bot 1 answered bot 3's join";
    PacketRecord& packet = recording->events[*changed].packet;
    const std::uint8_t energy = packet.payload[0];
    ASSERT_NE(energy, 37);
    packet.payload[0] = 37;
    const std::string copy = directory->file("bot2-changed.krec");
    writeFile(copy, encodeRecording(recording->header, recording->events));

    const DemoRun differed = demo({"verify", allFiles()[0], allFiles()[1], copy, allFiles()[3]});
    EXPECT_EQ(differed.status, 1) << differed.out << differed.err;
    const std::string expectedTick = "Tick " + std::to_string(ticksAtChange + 1) + " of " + copy;
    EXPECT_NE(differed.out.find(expectedTick), std::string::npos) << "expected " << expectedTick << " in\n" << differed.out;
    EXPECT_NE(differed.out.find(": player 1 energy is "), std::string::npos) << differed.out;
    EXPECT_TRUE(differed.out.find("37 in " + copy) != std::string::npos ||
                differed.out.find("is 37 in " + copy) != std::string::npos)
        << differed.out;
    EXPECT_TRUE(differed.out.starts_with("first difference at Tick ")) << differed.out;

    // Files that are no recording, or of another version, stop verify with the reason.
    std::vector<std::uint8_t> newer = encodeRecording(recording->header, recording->events);
    newer[8] = 9;
    writeFile(directory->file("newer.krec"), newer);
    const DemoRun refused = demo({"verify", allFiles()[0], directory->file("newer.krec")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("format version 9; this program reads version 1 only"), std::string::npos) << refused.err;
    EXPECT_EQ(demo({"verify", allFiles()[0]}).status, 2);
}

TEST_F(RecordedMatch, TheServerRecordingPlaysInTheGameWindowAndIsScreenshotted) {
    const std::string shots = directory->file("shots");
    ChildProcess client(KESTRANE_CLIENT_PROGRAM,
                        {"--play", directory->file("server.krec"), "--windowed", "--screenshot-dir", shots,
                         "--screenshot-every", "1"},
                        {{"SDL_VIDEODRIVER", "offscreen"}, {"SDL_AUDIODRIVER", "dummy"}});
    const std::optional<std::string> saved = client.lineStartingWith("kestrane-client: saved ", 20s);
    ASSERT_TRUE(saved) << client.errorText();
    client.signal(SIGTERM);
    EXPECT_EQ(client.waitForExit(10s), 0) << client.errorText();
    const std::string file = saved->substr(std::string("kestrane-client: saved ").size());
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    EXPECT_GT(std::filesystem::file_size(file), 10'000u);  // a drawn arena, not an empty picture
}

}  // namespace
}  // namespace kestrane::testing
