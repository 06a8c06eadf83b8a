// child_process.cpp -- posix_spawn on pipes.
#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

extern char** environ;

namespace kestrane::testing {

ChildProcess::ChildProcess(const std::string& program, std::vector<std::string> arguments,
                           const std::map<std::string, std::optional<std::string>>& environment) {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        const std::string name = variable.substr(0, variable.find('='));
        if (!environment.contains(name)) {
            variables.push_back(variable);
        }
    }
    for (const auto& [name, value] : environment) {
        if (value) {
            variables.push_back(name + "=" + *value);
        }
    }
    std::vector<char*> envp;
    for (std::string& variable : variables) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);

    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    // Close-on-exec, so no other child started meanwhile holds them open; the copies made
    // onto the child's stdout and stderr are inherited as usual.
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        return;
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) {
        ::close(out_);
    }
    if (err_ >= 0) {
        ::close(err_);
    }
}

void ChildProcess::signal(int number) {
    if (pid_ > 0) {
        kill(pid_, number);
    }
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (pid_ > 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        // Keep the pipes drained so the program never blocks on a full one.
        readInto(out_, outText_, 0);
        readInto(err_, errText_, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return exitStatus_;
}

int ChildProcess::readSome(int fd, std::string& text, int timeoutMs) {
    if (fd < 0) {
        return -1;
    }
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, timeoutMs) <= 0) {
        return 0;
    }
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) {
        return -1;
    }
    text.append(buffer, static_cast<std::size_t>(got));
    return 1;
}

bool ChildProcess::readInto(int fd, std::string& text, int timeoutMs) { return readSome(fd, text, timeoutMs) > 0; }

std::optional<std::string> ChildProcess::nextLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto end = outText_.find('\n'); end != std::string::npos) {
            std::string line = outText_.substr(0, end);
            outText_.erase(0, end + 1);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        const int got = readSome(out_, outText_, static_cast<int>(std::min<long long>(left.count(), 50)));
        readInto(err_, errText_, 0);
        if (got < 0) {
            return std::nullopt;  // the program closed its output without the line
        }
    }
}

std::optional<std::string> ChildProcess::lineStartingWith(const std::string& prefix,
                                                          std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        std::optional<std::string> line = nextLine(std::max(left, std::chrono::milliseconds(0)));
        if (!line) {
            return std::nullopt;
        }
        if (line->starts_with(prefix)) {
            return line;
        }
    }
}

std::string ChildProcess::output() {
    while (readInto(out_, outText_, 0)) {
    }
    return outText_;
}

std::string ChildProcess::errorText() {
    while (readInto(err_, errText_, 0)) {
    }
    return errText_;
}

}  // namespace kestrane::testing
