// bench_support.h -- what the benchmark programs share: the server as a child process,
// CPU accounting from /proc, percentiles and a description of the machine.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane::bench {

// CPU time used so far by every thread of process `pid`, in seconds.
double processCpuSeconds(pid_t pid);
// CPU time used so far by the calling thread, in seconds.
double threadCpuSeconds();

// The server program, headless on a free port, as an ordinary process whatever the
// benchmark has made of its own scheduling; its log goes to a file. All of the benchmark's
// connections come from this machine, so the server's per-address limit is lifted.
class ServerProcess {
public:
    ServerProcess() = default;
    ~ServerProcess();  // stop(), then the log file is removed
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts `program` (with `extra` options) and waits (at most 5 s) for the port it listens on.
    bool start(const std::string& program, const std::vector<std::string>& extra = {});
    // SIGTERM runs the server's Exit sequence; it is killed if it has not ended in 5 s.
    void stop();
    std::uint16_t port() const { return port_; }
    double cpuSeconds() const { return processCpuSeconds(pid_); }
    // Lines of the server's log so far that contain `text`.
    int logLinesContaining(std::string_view text) const;

private:
    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
    std::filesystem::path logPath_;
};

struct Summary {
    double min = 0, mean = 0, p50 = 0, p99 = 0, max = 0;
    std::size_t count = 0;
};
Summary summarise(std::vector<double> values);

// "model name" of /proc/cpuinfo, and the three load averages of /proc/loadavg.
std::string cpuModel();
std::string loadAverage();

}  // namespace kestrane::bench
