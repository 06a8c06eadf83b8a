// bench_support.cpp -- child process, /proc readings and statistics for the benchmarks.
#include "bench/bench_support.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <numeric>
#include <thread>

extern char** environ;

namespace kestrane::bench {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double processCpuSeconds(pid_t pid) {
    double total = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream schedstat(task.path() / "schedstat");
        double nanoseconds = 0;
        if (schedstat >> nanoseconds) {
            total += nanoseconds * 1e-9;
        }
    }
    return total;
}

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

bool ServerProcess::start(const std::string& program, const std::vector<std::string>& extra) {
    logPath_ = std::filesystem::temp_directory_path() / ("kestrane-bench-" + std::to_string(getpid()) + ".log");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sched_param priority{};
    posix_spawnattr_setschedpolicy(&attributes, SCHED_OTHER);
    posix_spawnattr_setschedparam(&attributes, &priority);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSCHEDULER);
    std::vector<std::string> arguments{program, "--headless", "--port", "0", "--max-per-address", "0"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const bool spawned = posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (!spawned) {
        pid_ = -1;
        return false;
    }
    for (const auto deadline = Clock::now() + 5s; Clock::now() < deadline; std::this_thread::sleep_for(10ms)) {
        std::ifstream log(logPath_);
        for (std::string line; std::getline(log, line);) {
            if (const auto at = line.find("Port : "); at != std::string::npos) {
                port_ = static_cast<std::uint16_t>(std::stoi(line.substr(at + 7)));
                return true;
            }
        }
    }
    return false;
}

void ServerProcess::stop() {
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, SIGTERM);
    for (const auto deadline = Clock::now() + 5s; Clock::now() < deadline; std::this_thread::sleep_for(10ms)) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

int ServerProcess::logLinesContaining(std::string_view text) const {
    std::ifstream log(logPath_);
    int count = 0;
    for (std::string line; std::getline(log, line);) {
        count += line.find(text) != std::string::npos;
    }
    return count;
}

ServerProcess::~ServerProcess() {
    stop();
    std::error_code ignored;
    std::filesystem::remove(logPath_, ignored);
}

Summary summarise(std::vector<double> values) {
    Summary summary;
    if (values.empty()) {
        return summary;
    }
    std::sort(values.begin(), values.end());
    summary.count = values.size();
    summary.min = values.front();
    summary.max = values.back();
    summary.mean = std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
    summary.p50 = values[values.size() / 2];
    summary.p99 = values[std::min(values.size() - 1, values.size() * 99 / 100)];
    return summary;
}

std::string cpuModel() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);) {
        if (line.starts_with("model name")) {
            return line.substr(line.find(':') + 2);
        }
    }
    return "unknown CPU";
}

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

}  // namespace kestrane::bench
