// The kestrane-server program itself: options, start-up errors, headless log lines, Exit on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>

#include <regex>

#include "platform/udp_socket.h"
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

    struct Bad {
        std::vector<std::string> arguments;
        const char* complaint;
    };
    const std::vector<Bad> bads = {
        {{"--headless", "--port", "70000"}, "--port"},
        {{"--headless", "--name", ""}, "--name wants 1 to 64 bytes"},
        {{"--headless", "--name", std::string(65, 'n')}, "--name wants 1 to 64 bytes"},
        {{"--headless", "--players"}, "--players goes with --query"},
        {{"--query", "host:0"}, "--query wants HOST or HOST:PORT"},
        {{"--headless", "--max-players", "0"}, "--max-players wants a number"},
        {{"--headless", "--max-players", "256"}, "--max-players wants a number"},
        {{"--headless", "--max-players", "ten"}, "--max-players wants a number"},
        {{"--headless", "--max-per-address", "-1"}, "--max-per-address wants a number"},
        {{"--headless", "--max-per-address", "300"}, "--max-per-address wants a number"},
    };
    for (const Bad& bad : bads) {
        ChildProcess program = serverProgram(bad.arguments);
        EXPECT_EQ(program.waitForExit(), 2) << bad.complaint;
        EXPECT_NE(program.errorText().find(bad.complaint), std::string::npos) << program.errorText();
    }
}

TEST(ServerProgram, QueryPrintsOneStatusLineAndThePlayersWithoutJoining) {
    ChildProcess server = serverProgram({"--headless", "--port", "0", "--name", "Query Hall", "--max-players", "8"});
    std::optional<std::string> line;
    do {
        line = server.nextLine();
    } while (line && line->find(" Port : ") == std::string::npos);
    ASSERT_TRUE(line);
    const std::string port = line->substr(line->find(" Port : ") + 8);
    TestClient client;
    ASSERT_EQ(client.join(static_cast<std::uint16_t>(std::stoi(port))), 1);
    client.sendJoin("Choi");
    do {  // the name, the connect line, then the join line
        line = server.nextLine();
    } while (line && line->find("[ Choi ]") == std::string::npos);
    ASSERT_TRUE(line);

    ChildProcess query = serverProgram({"--query", "127.0.0.1:" + port, "--players"});
    EXPECT_EQ(query.waitForExit(), 0) << query.errorText();
    const std::regex status("Query Hall\t1/8\t127\\.0\\.0\\.1:" + port + "\t[0-9.]+\t[0-9.]+ ms");
    const std::optional<std::string> statusLine = query.nextLine();
    ASSERT_TRUE(statusLine);
    EXPECT_TRUE(std::regex_match(*statusLine, status)) << *statusLine;
    EXPECT_EQ(query.nextLine(), "1\tChoi");
    EXPECT_FALSE(query.nextLine(100ms));
    // Nothing of it reached the log: the next line is the server's own closing.
    server.signal(SIGTERM);
    const std::optional<std::string> closing = server.nextLine();
    ASSERT_TRUE(closing);
    EXPECT_TRUE(closing->ends_with(std::string(server_text::kClosingLine))) << *closing;
}

TEST(ServerProgram, QueryAgainstNothingEndsWithOneWithinAboutASecond) {
    UdpSocket silent = UdpSocket::open();  // a port that is bound, so nothing else answers there
    ASSERT_TRUE(silent.bind(0, Ipv4Address::loopback()));
    const auto started = std::chrono::steady_clock::now();
    ChildProcess query = serverProgram({"--query", "127.0.0.1:" + std::to_string(silent.localPort())});
    EXPECT_EQ(query.waitForExit(3s), 1);  // given up after its second
    EXPECT_GE(std::chrono::steady_clock::now() - started, 900ms);
    EXPECT_NE(query.errorText().find("no answer from 127.0.0.1:" + std::to_string(silent.localPort())),
              std::string::npos)
        << query.errorText();
    EXPECT_TRUE(query.output().empty());
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
    ChildProcess program = serverProgram({"--headless", "--port", "0", "--name", "Pine Hall"});
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
    EXPECT_EQ(readLine(), "Name : Pine Hall");

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
