// The kestrane-server program itself: options, start-up errors, headless log lines, Exit on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>

#include <regex>

#include "server/server_texts.h"
#include "tests/support/child_process.h"
#include "test_client.h"

namespace kestrane::testing {
namespace {

// The server program on pipes, killed at the end if it is still running.
ChildProcess serverProgram(std::vector<std::string> arguments) {
    return ChildProcess(KESTRANE_SERVER_PROGRAM, std::move(arguments));
}

TEST(ServerProgram, HelpAndBadOptions) {
    ChildProcess help = serverProgram({"--help"});
    const std::optional<std::string> usage = help.nextLine();
    ASSERT_TRUE(usage);
    EXPECT_TRUE(usage->starts_with("Usage: kestrane-server"));
    EXPECT_EQ(help.waitForExit(), 0);

    const std::vector<std::vector<std::string>> badValues = {
        {"--port", "70000"},       {"--max-players", "0"},      {"--max-players", "256"},
        {"--max-players", "ten"},  {"--max-per-address", "-1"}, {"--max-per-address", "300"},
    };
    for (const std::vector<std::string>& option : badValues) {
        ChildProcess bad = serverProgram({"--headless", option[0], option[1]});
        EXPECT_EQ(bad.waitForExit(), 2) << option[0] << " " << option[1];
        EXPECT_NE(bad.errorText().find(option[0] + " wants a number"), std::string::npos) << bad.errorText();
    }
}

TEST(ServerProgram, PortAlreadyTakenEndsWithSocketError) {
    TcpSocket holder = TcpSocket::openStream();
    ASSERT_TRUE(holder.bindAndListen(0, 1));
    ChildProcess program = serverProgram({"--headless", "--port", std::to_string(holder.localPort())});
    const std::optional<int> code = program.waitForExit();
    ASSERT_TRUE(code);
    EXPECT_NE(*code, 0);
    EXPECT_NE(program.errorText().find("Orvane Works: socket() Error"), std::string::npos);
    EXPECT_FALSE(program.nextLine(100ms));  // it never started
}

TEST(ServerProgram, HeadlessLogsTimeStampedLinesAndClosesOnSigterm) {
    ChildProcess program = serverProgram({"--headless", "--port", "0"});
    const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (.*))");
    std::vector<std::string> texts;
    auto readLine = [&]() -> std::string {
        const std::optional<std::string> line = program.nextLine();
        std::smatch match;
        if (!line || !std::regex_match(*line, match, stamped)) {
            ADD_FAILURE() << "not a log line: " << line.value_or("(none)");
            return {};
        }
        texts.push_back(match[1]);
        return texts.back();
    };
    EXPECT_EQ(readLine(), server_text::kStartLine);
    EXPECT_TRUE(readLine().starts_with("IP : "));
    const std::string portLine = readLine();
    ASSERT_TRUE(portLine.starts_with("Port : "));
    const auto port = static_cast<std::uint16_t>(std::stoi(portLine.substr(7)));

    TestClient client;
    ASSERT_EQ(client.join(port), 1);
    EXPECT_EQ(readLine(), server_text::kConnectLine);
    client.sendJoin("Choi");
    EXPECT_EQ(readLine(), "[ Choi ] 님이 들어오셨습니다.");

    const auto signalled = std::chrono::steady_clock::now();
    program.signal(SIGTERM);
    std::optional<PacketRecord> closing = client.next();
    while (closing && closing->msgType() == MsgType::Join) {  // its own Join comes back first
        closing = client.next();
    }
    ASSERT_TRUE(closing);
    EXPECT_EQ(bytesOf(*closing), (Bytes{0xAA, 0, 11, 0}));
    EXPECT_EQ(readLine(), server_text::kClosingLine);
    EXPECT_EQ(program.waitForExit(), 0);
    // The clients are given two seconds to read ServerClosing before connections close.
    EXPECT_GE(std::chrono::steady_clock::now() - signalled, 1900ms);
    EXPECT_TRUE(client.closedByServer());
}

}  // namespace
}  // namespace kestrane::testing
