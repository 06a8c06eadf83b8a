// poller_bench.cpp -- what one wake-up of a thread watching many sockets costs.
//
// The pattern of the server's network pass and of a bots' driving thread: the set is rebuilt
// for every wait, every socket is watched, and one of them has a byte waiting. Each round
// sends that byte, waits, finds the ready socket and reads it; the figure is the CPU time of a
// round, the send and the read included. Not a test: compare builds on one machine, in one
// session (see docs/benchmarks.md).
#include <array>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "platform/poller.h"
#include "platform/tcp_socket.h"
#include "platform/wake_event.h"

namespace {

using namespace kestrane;

// CPU microseconds per round with `count` sockets watched, the best of `runs` runs.
double microsecondsPerRound(int count, int rounds, int runs) {
    std::vector<std::array<TcpSocket, 2>> pairs;
    for (int i = 0; i < count; ++i) {
        auto pair = TcpSocket::pair();
        if (!pair) {
            std::fprintf(stderr, "poller_bench: could not open %d socket pairs\n", count);
            std::exit(1);
        }
        (*pair)[0].setNonBlocking(true);
        pairs.push_back(std::move(*pair));
    }
    WakeEvent wake;
    Poller poller;
    const std::uint8_t byte[1] = {1};
    std::array<std::uint8_t, 16> buffer{};
    double best = 1e9;
    for (int run = 0; run < runs; ++run) {
        const double start = bench::threadCpuSeconds();
        for (int round = 0; round < rounds; ++round) {
            pairs[static_cast<std::size_t>(round % count)][1].send(byte);
            poller.clear();
            poller.setWakeEvent(&wake);
            for (const auto& pair : pairs) {
                poller.add(pair[0]);
            }
            if (poller.wait(1000) != 1) {
                std::fprintf(stderr, "poller_bench: the wait did not find the one ready socket\n");
                std::exit(1);
            }
            for (std::size_t i = 0; i < poller.size(); ++i) {
                if (poller.readiness(i).readable) {
                    pairs[i][0].receive(buffer);
                }
            }
        }
        best = std::min(best, (bench::threadCpuSeconds() - start) * 1e6 / rounds);
    }
    return best;
}

}  // namespace

int main() {
    std::printf("Kestrane poller benchmark: %s, %u cores, load average %s\n", kestrane::bench::cpuModel().c_str(),
                std::thread::hardware_concurrency(), kestrane::bench::loadAverage().c_str());
    for (const int count : {1, 8, 64, 255}) {
        std::printf("%3d sockets watched, one ready: %6.2f us of CPU per wake-up (send and read included)\n", count,
                    microsecondsPerRound(count, 20000, 5));
    }
    return 0;
}
