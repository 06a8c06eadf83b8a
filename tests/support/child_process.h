// child_process.h -- a program run by a test (servers, clients, bots), on pipes, with its own
// environment; killed at the end if it is still running.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace kestrane::testing {

class ChildProcess {
public:
    // `environment`: variables to set (a value) or to remove (nothing) on top of this process's.
    ChildProcess(const std::string& program, std::vector<std::string> arguments,
                 const std::map<std::string, std::optional<std::string>>& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0 || exitStatus_.has_value(); }
    void signal(int number);
    // The exit status (128 + signal when killed), or nothing while it still runs after `timeout`.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // The next line on stdout, or nothing when none comes in time.
    std::optional<std::string> nextLine(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Reads stdout lines until one begins with `prefix`; nothing when none comes in time.
    std::optional<std::string> lineStartingWith(const std::string& prefix, std::chrono::milliseconds timeout);
    // Everything written to stdout and stderr so far that was not taken as a line.
    std::string output();
    std::string errorText();

private:
    // 1 when bytes were read, 0 when none came in time, -1 at the end of the stream.
    static int readSome(int fd, std::string& text, int timeoutMs);
    static bool readInto(int fd, std::string& text, int timeoutMs);

    pid_t pid_ = -1;
    std::optional<int> exitStatus_;
    int out_ = -1;
    int err_ = -1;
    std::string outText_;
    std::string errText_;
};

}  // namespace kestrane::testing
