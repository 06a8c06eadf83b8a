// The kestrane-server program itself: options, start-up errors, headless log lines, Exit on SIGTERM.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>

#include "server/server_texts.h"
#include "test_client.h"

extern char** environ;

namespace kestrane::testing {
namespace {

// The program on pipes, killed at the end if it is still running.
class Program {
public:
    explicit Program(std::vector<std::string> arguments) {
        int out[2];
        int err[2];
        if (pipe(out) != 0 || pipe(err) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        arguments.insert(arguments.begin(), KESTRANE_SERVER_PROGRAM);
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~Program() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
        ::close(err_);
    }

    void signal(int number) { kill(pid_, number); }
    // The exit code, or nothing when the program is still running after `timeout`.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(5ms);
        }
        return std::nullopt;
    }
    // The next line on stdout, or nothing when none comes in time.
    std::optional<std::string> nextLine(std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (const auto end = outText_.find('\n'); end != std::string::npos) {
                std::string line = outText_.substr(0, end);
                outText_.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !readInto(out_, outText_, static_cast<int>(left.count()))) {
                return std::nullopt;
            }
        }
    }
    // Everything written to stderr (call after the program ended).
    std::string errorText() {
        std::string text;
        while (readInto(err_, text, 100)) {
        }
        return text;
    }

private:
    static bool readInto(int fd, std::string& text, int timeoutMs) {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, timeoutMs) <= 0) {
            return false;
        }
        char buffer[1024];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(got));
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string outText_;
};

TEST(ServerProgram, HelpAndBadOptions) {
    Program help({"--help"});
    const std::optional<std::string> usage = help.nextLine();
    ASSERT_TRUE(usage);
    EXPECT_TRUE(usage->starts_with("Usage: kestrane-server"));
    EXPECT_EQ(help.waitForExit(), 0);

    Program bad({"--headless", "--port", "70000"});
    EXPECT_EQ(bad.waitForExit(), 2);
    EXPECT_NE(bad.errorText().find("--port"), std::string::npos);
}

TEST(ServerProgram, PortAlreadyTakenEndsWithSocketError) {
    TcpSocket holder = TcpSocket::openStream();
    ASSERT_TRUE(holder.bindAndListen(0, 1));
    Program program({"--headless", "--port", std::to_string(holder.localPort())});
    const std::optional<int> code = program.waitForExit();
    ASSERT_TRUE(code);
    EXPECT_NE(*code, 0);
    EXPECT_NE(program.errorText().find("Orvane Works: socket() Error"), std::string::npos);
    EXPECT_FALSE(program.nextLine(100ms));  // it never started
}

TEST(ServerProgram, HeadlessLogsTimeStampedLinesAndClosesOnSigterm) {
    Program program({"--headless", "--port", "0"});
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
