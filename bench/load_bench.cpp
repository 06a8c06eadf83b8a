// load_bench.cpp -- the server under real play: kestrane-server against N bots, measured.
//
// Starts the real server headless on a free port, joins N bots (the real client code, in this
// process) and lets them play, while a raw observer connection timestamps every Tick in the
// kernel. Reports relay latency as the bots see it, the Tick spacing, the server's CPU, the
// packets it relays and any bot it dropped; and, for comparison, how many 4-byte loopback
// sends one core of this machine makes a second, what one send to every player costs it at the
// least, and how often it takes a core away from a thread that wants it. Not a test: the
// figures depend on the machine and on what else runs on it (see docs/benchmarks.md).
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "bots/bot_runner.h"
#include "common/packet.h"
#include "platform/poller.h"
#include "platform/tcp_socket.h"
#include "server/server_texts.h"

namespace {

using namespace kestrane;
using namespace kestrane::bench;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A connection that never joins and only listens: the server relays it every packet, so it
// counts what the server relays, and it reads each packet header on its own with the kernel's
// receive timestamp, which on loopback is the moment the server sent it. Unless it was read
// late: the kernel merges a segment that arrives while the one before it waits unread into
// that one, and the merged data carries the newer segment's time stamp. So a Tick whose next
// packet comes with the same time stamp may carry that packet's time, and the interval after
// it look shorter than it was. The report says how many of the intervals under 50 ms follow
// such a Tick (a Tick sent together with what follows it shares its time stamp too).
class TickObserver {
public:
    struct Gap {
        double ms = 0;
        bool ownStamp = true;  // the packet after the Tick it starts from has a time stamp of its own
    };

    bool start(std::uint16_t port) {
        socket_ = TcpSocket::openStream();
        if (socket_.connect(Ipv4Address::loopback(), port) != ConnectStatus::Connected) {
            return false;
        }
        const int on = 1;
        setsockopt(socket_.fd(), SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        thread_ = std::thread([this] { run(); });
        return true;
    }
    void stop() {
        stopping_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        socket_.close();
    }
    ~TickObserver() { stop(); }

    // From now on, gaps between Ticks and relayed packets are counted.
    void startCounting() { counting_ = true; }
    void stopCounting() { counting_ = false; }
    std::vector<Gap> tickGaps() const {
        std::lock_guard lock(mutex_);
        return tickGaps_;
    }
    std::uint64_t relayed() const { return relayed_.load(); }
    std::uint64_t leaves() const { return leaves_.load(); }

private:
    // Reads `bytes` exactly; the kernel time of the data, in seconds, or a negative value.
    double readExactly(std::uint8_t* buffer, std::size_t bytes) {
        iovec vector{buffer, bytes};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
        msghdr message{};
        message.msg_iov = &vector;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (recvmsg(socket_.fd(), &message, MSG_WAITALL) != static_cast<ssize_t>(bytes)) {
            return -1;
        }
        for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_TIMESTAMPNS) {
                timespec stamp{};
                std::memcpy(&stamp, CMSG_DATA(header), sizeof stamp);
                return static_cast<double>(stamp.tv_sec) + static_cast<double>(stamp.tv_nsec) * 1e-9;
            }
        }
        return 0;
    }
    void run() {
        std::uint8_t buffer[kHeaderSize + kMaxWirePayload];
        double lastTick = -1;
        bool lastTickOwnStamp = true;
        bool followerSeen = true;  // the packet after the last Tick has been read
        while (!stopping_) {
            if (!socket_.waitReadable(100)) {
                continue;
            }
            const double stamp = readExactly(buffer, kHeaderSize);
            if (stamp < 0) {
                return;  // the server closed the connection
            }
            if (!followerSeen) {
                lastTickOwnStamp = stamp != lastTick;
                followerSeen = true;
            }
            if (buffer[0] != kPacketMarker) {
                continue;
            }
            if (buffer[3] > 0 && readExactly(buffer + kHeaderSize, buffer[3]) < 0) {
                return;
            }
            const auto type = static_cast<MsgType>(buffer[2]);
            if (type == MsgType::Tick) {
                if (counting_ && lastTick > 0) {
                    std::lock_guard lock(mutex_);
                    tickGaps_.push_back({(stamp - lastTick) * 1000.0, lastTickOwnStamp});
                }
                lastTick = stamp;
                followerSeen = false;  // the next packet read decides lastTickOwnStamp
            } else if (counting_ && type != MsgType::Welcome && type != MsgType::Resume) {
                ++relayed_;
                if (type == MsgType::Leave) {
                    ++leaves_;
                }
            }
        }
    }

    TcpSocket socket_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> counting_{false};
    mutable std::mutex mutex_;
    std::vector<Gap> tickGaps_;
    std::atomic<std::uint64_t> relayed_{0};
    std::atomic<std::uint64_t> leaves_{0};
    std::thread thread_;
};

// A Tick's bytes, what the loopback measurements below send.
constexpr std::array<std::uint8_t, 4> kTickBytes = {kPacketMarker, 0, static_cast<std::uint8_t>(MsgType::Tick), 0};

// A loopback TCP connection through `listener`: the sending end, with TCP_NODELAY as the
// server's player sockets, then the receiving end; nothing when it cannot be made.
std::optional<std::array<TcpSocket, 2>> loopbackConnection(const TcpSocket& listener) {
    TcpSocket sender = TcpSocket::openStream();
    if (sender.connect(Ipv4Address::loopback(), listener.localPort()) != ConnectStatus::Connected ||
        !listener.waitReadable(1000)) {
        return std::nullopt;
    }
    TcpSocket receiver = listener.accept();
    if (!receiver.valid()) {
        return std::nullopt;
    }
    sender.setNoDelay(true);
    return std::array<TcpSocket, 2>{std::move(sender), std::move(receiver)};
}

// 4-byte sends over a loopback TCP connection from one thread, another thread draining the
// far end (each send also runs the receiving side of loopback TCP on the sending core, as the
// server's do): sends per second of wall time and per second of the sending thread's CPU time.
struct SendRate {
    double perSecond = 0;
    double perCpuSecond = 0;
};

std::optional<SendRate> loopbackSendRate(std::chrono::milliseconds duration) {
    TcpSocket listener = TcpSocket::openStream();
    if (!listener.bindAndListen(0, 1, Ipv4Address::loopback())) {
        return std::nullopt;
    }
    std::optional<std::array<TcpSocket, 2>> connection = loopbackConnection(listener);
    if (!connection) {
        return std::nullopt;
    }
    auto& [sender, receiver] = *connection;
    std::atomic<bool> done{false};
    std::thread drain([&] {
        std::vector<std::uint8_t> buffer(1 << 16);
        while (!done) {
            if (receiver.waitReadable(50)) {
                receiver.receive(buffer, /*dontWait=*/true);
            }
        }
    });
    std::uint64_t sends = 0;
    const double cpuBefore = threadCpuSeconds();
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + duration;
    while (Clock::now() < end) {
        for (int i = 0; i < 1000; ++i) {
            if (sender.send(kTickBytes) == 4) {
                ++sends;
            }
        }
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = threadCpuSeconds() - cpuBefore;
    done = true;
    drain.join();
    return SendRate{static_cast<double>(sends) / wall, static_cast<double>(sends) / cpu};
}

// Three runs of a second; the middle one by rate per CPU-second (0 when it cannot be measured).
double measureLoopbackSends() {
    std::vector<SendRate> runs;
    for (int run = 0; run < 3; ++run) {
        if (const std::optional<SendRate> rate = loopbackSendRate(1000ms)) {
            runs.push_back(*rate);
        }
    }
    if (runs.empty()) {
        std::printf("loopback 4-byte sends: cannot open a loopback connection\n");
        return 0;
    }
    std::sort(runs.begin(), runs.end(), [](const SendRate& a, const SendRate& b) { return a.perCpuSecond < b.perCpuSecond; });
    const SendRate& middle = runs[runs.size() / 2];
    std::printf("loopback 4-byte sends on one core: %.0f per CPU-second (%.0f per second of wall time; runs %.0f .. %.0f)\n",
                middle.perCpuSecond, middle.perSecond, runs.front().perCpuSecond, runs.back().perCpuSecond);
    return middle.perCpuSecond;
}

// The server's flush at its most basic: one 4-byte send to each of `connections` loopback
// connections in turn, a round every 5 ms, while one thread reads all the far ends through a
// poller and sleeps in it between rounds (as the bots' driving thread). Each send then also
// wakes the reader or queues its socket as ready, as the server's do. What one round takes on
// this machine bounds the relay from below: a record that arrives as a flush starts waits for
// it, then for the next one to come to its sender.
struct FanOut {
    double roundMs = 0;    // the middle round's wall time
    double sendCpuUs = 0;  // the sending thread's CPU per send
    double readCpuUs = 0;  // the reading thread's CPU per read
};

std::optional<FanOut> loopbackFanOut(int connections, std::chrono::milliseconds duration) {
    TcpSocket listener = TcpSocket::openStream();
    if (!listener.bindAndListen(0, connections, Ipv4Address::loopback())) {
        return std::nullopt;
    }
    std::vector<TcpSocket> senders;
    std::vector<TcpSocket> receivers;
    for (int i = 0; i < connections; ++i) {
        std::optional<std::array<TcpSocket, 2>> connection = loopbackConnection(listener);
        if (!connection || !(*connection)[1].setNonBlocking(true)) {
            return std::nullopt;
        }
        senders.push_back(std::move((*connection)[0]));
        receivers.push_back(std::move((*connection)[1]));
    }
    std::atomic<bool> done{false};
    std::uint64_t reads = 0;
    double readCpu = 0;
    std::thread reader([&] {
        Poller poller;
        std::array<std::uint8_t, 4096> buffer;
        const double cpuBefore = threadCpuSeconds();
        while (!done) {
            poller.clear();
            for (const TcpSocket& socket : receivers) {
                poller.add(socket);
            }
            poller.wait(50);
            for (std::size_t i = 0; i < receivers.size(); ++i) {
                if (poller.readiness(i).readable && receivers[i].receive(buffer, /*dontWait=*/true) > 0) {
                    ++reads;
                }
            }
        }
        readCpu = threadCpuSeconds() - cpuBefore;
    });
    std::vector<double> rounds;
    std::uint64_t sends = 0;
    double sendCpu = 0;
    const Clock::time_point end = Clock::now() + duration;
    while (Clock::now() < end) {
        const double cpuBefore = threadCpuSeconds();
        const Clock::time_point start = Clock::now();
        for (TcpSocket& sender : senders) {
            sends += sender.send(kTickBytes) == 4 ? 1 : 0;
        }
        rounds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        sendCpu += threadCpuSeconds() - cpuBefore;
        std::this_thread::sleep_for(5ms);
    }
    std::this_thread::sleep_for(20ms);  // the last round read
    done = true;
    reader.join();
    if (sends == 0 || reads == 0) {
        return std::nullopt;
    }
    std::nth_element(rounds.begin(), rounds.begin() + rounds.size() / 2, rounds.end());
    return FanOut{rounds[rounds.size() / 2], sendCpu / static_cast<double>(sends) * 1e6,
                  readCpu / static_cast<double>(reads) * 1e6};
}

// The machine's own pauses: one thread per core spins, reading the clock, for `duration`;
// every gap over a millisecond between two readings is a time its core was taken from it (by
// the kernel, or by the host of a virtual machine). Anything the server or a bot does can be
// held up as long, and a relay passes through three threads. Measured before a bot count's
// server starts; it varies from minute to minute on a shared machine.
struct Pauses {
    int count = 0;  // gaps over a millisecond, all threads together
    double longestMs = 0;
    double lostShare = 0;  // of the threads' time, in those gaps
};

Pauses spinningPauses(std::chrono::milliseconds duration) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<Pauses> found(cores);
    std::vector<std::thread> spinners;
    for (unsigned i = 0; i < cores; ++i) {
        spinners.emplace_back([&found, i, duration] {
            sched_param ordinary{};
            sched_setscheduler(0, SCHED_OTHER, &ordinary);  // as the server's threads, not the bots' batch ones
            Pauses& pauses = found[i];
            double lostMs = 0;
            const Clock::time_point start = Clock::now();
            const Clock::time_point end = start + duration;
            Clock::time_point last = start;
            while (last < end) {
                const Clock::time_point now = Clock::now();
                const double gapMs = std::chrono::duration<double, std::milli>(now - last).count();
                if (gapMs > 1.0) {
                    ++pauses.count;
                    pauses.longestMs = std::max(pauses.longestMs, gapMs);
                    lostMs += gapMs;
                }
                last = now;
            }
            pauses.lostShare = lostMs / std::chrono::duration<double, std::milli>(last - start).count();
        });
    }
    Pauses total;
    for (unsigned i = 0; i < cores; ++i) {
        spinners[i].join();
        total.count += found[i].count;
        total.longestMs = std::max(total.longestMs, found[i].longestMs);
        total.lostShare += found[i].lostShare / cores;
    }
    return total;
}

struct LoadOptions {
    std::string serverProgram = KESTRANE_SERVER_PROGRAM;
    std::chrono::seconds measure{20};
    std::chrono::seconds warmUp{5};
    std::chrono::seconds idle{5};
    int threads = 0;
    // The bots' threads as batch threads: their many wake-ups then never preempt the server
    // (the machine's own scheduling, not the server, is what would otherwise be measured).
    bool batch = true;
    std::uint64_t seed = 2024;
    std::filesystem::path dataDirectory;
    // The server records the match (--record) into a temporary file, measured and removed.
    bool record = false;
    double loopbackSendsPerCpuSecond = 0;  // measured at the start of the run
};

bool runLoad(int botCount, const LoadOptions& options) {
    // Before the server starts, so that nothing else of this run competes with them.
    const std::optional<FanOut> fanOut = loopbackFanOut(botCount + 1, 1000ms);
    const Pauses pauses = spinningPauses(1000ms);
    ServerProcess server;
    const std::filesystem::path recording =
        std::filesystem::temp_directory_path() / ("kestrane-bench-" + std::to_string(getpid()) + ".krec");
    std::vector<std::string> serverOptions;
    if (options.record) {
        serverOptions = {"--record", recording.string()};
    }
    if (!server.start(options.serverProgram, serverOptions)) {
        std::fprintf(stderr, "load_bench: could not start %s\n", options.serverProgram.c_str());
        return false;
    }
    BotLog log([](std::string_view line) {
        // Joins, respawns and leaves are the game going on; anything else is worth seeing.
        if (line.find(": joined") == std::string_view::npos && line.find(": respawned") == std::string_view::npos &&
            line.find(": left") == std::string_view::npos) {
            std::printf("  %.*s\n", static_cast<int>(line.size()), line.data());
        }
    });
    BotRunnerOptions runnerOptions;
    runnerOptions.server = "127.0.0.1:" + std::to_string(server.port());
    runnerOptions.count = botCount;
    runnerOptions.namePrefix = "load";
    runnerOptions.seed = options.seed;
    runnerOptions.threads = options.threads;
    runnerOptions.dataDirectory = options.dataDirectory;
    BotRunner runner(runnerOptions, log);
    if (!runner.loadArtwork()) {
        std::fprintf(stderr, "load_bench: no sprite files in %s\n", options.dataDirectory.c_str());
        return false;
    }

    runner.setBrainsPaused(true);  // joins go faster with everyone standing still
    const Clock::time_point joinStart = Clock::now();
    const int joined = runner.joinAll();
    const double joinSeconds = std::chrono::duration<double>(Clock::now() - joinStart).count();
    TickObserver observer;
    if (joined != botCount || !observer.start(server.port())) {
        std::fprintf(stderr, "load_bench: only %d of %d bots joined\n", joined, botCount);
        runner.leaveAll();
        return false;
    }
    // Standing still, the bots only receive Ticks: what they cost doing nothing.
    const double idleCpuBefore = processCpuSeconds(getpid());
    const double idleServerBefore = server.cpuSeconds();
    const Clock::time_point idleStart = Clock::now();
    std::this_thread::sleep_for(options.idle);
    const double idleSeconds = std::chrono::duration<double>(Clock::now() - idleStart).count();
    const double idleBotsCpu = (processCpuSeconds(getpid()) - idleCpuBefore) / idleSeconds * 100;
    const double idleServerCpu = (server.cpuSeconds() - idleServerBefore) / idleSeconds * 100;

    runner.setBrainsPaused(false);
    std::this_thread::sleep_for(options.warmUp);

    struct Totals {
        std::uint64_t echoes = 0, applied = 0, ticks = 0;
    };
    auto totals = [&runner] {
        Totals sum;
        runner.withBotsHeld([&sum](std::span<Bot* const> bots) {
            for (Bot* bot : bots) {
                sum.echoes += bot->counters().ownEchoes;
                sum.applied += bot->counters().packetsApplied;
                sum.ticks += bot->counters().ticks;
            }
        });
        return sum;
    };
    runner.withBotsHeld([](std::span<Bot* const> bots) {
        for (Bot* bot : bots) {
            bot->echoLatenciesMs().clear();
            bot->setMeasuring(true);
        }
    });
    const Totals before = totals();
    observer.startCounting();
    const double serverCpuBefore = server.cpuSeconds();
    const double botsCpuBefore = processCpuSeconds(getpid());
    std::error_code sizeError;
    const auto recordedBefore = options.record ? std::filesystem::file_size(recording, sizeError) : 0;
    const Clock::time_point start = Clock::now();

    std::this_thread::sleep_for(options.measure);

    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double serverCpu = (server.cpuSeconds() - serverCpuBefore) / seconds * 100;
    const double botsCpu = (processCpuSeconds(getpid()) - botsCpuBefore) / seconds * 100;
    observer.stopCounting();
    const Totals after = totals();
    std::vector<double> latencies;
    int dropped = 0;
    int respawns = 0;
    runner.withBotsHeld([&](std::span<Bot* const> bots) {
        for (Bot* bot : bots) {
            bot->setMeasuring(false);
            latencies.insert(latencies.end(), bot->echoLatenciesMs().begin(), bot->echoLatenciesMs().end());
            dropped += bot->phase() != BotPhase::Playing || bot->counters().droppedByServer;
            respawns += static_cast<int>(bot->counters().respawns);
        }
    });
    const Summary echo = summarise(latencies);
    const std::vector<TickObserver::Gap> gaps = observer.tickGaps();
    std::vector<double> gapsMs;
    std::ptrdiff_t shortGaps = 0;
    std::ptrdiff_t sharedStamps = 0;
    std::ptrdiff_t shortAfterShared = 0;
    for (const TickObserver::Gap& gap : gaps) {
        gapsMs.push_back(gap.ms);
        sharedStamps += gap.ownStamp ? 0 : 1;
        shortGaps += gap.ms < 50.0 ? 1 : 0;
        shortAfterShared += !gap.ownStamp && gap.ms < 50.0 ? 1 : 0;
    }
    const Summary ticks = summarise(gapsMs);  // kernel time stamps: when the server sent them
    const double relayedPerSecond = static_cast<double>(observer.relayed()) / seconds;

    std::printf("%3d bots (joined in %.1f s, %d threads, %.0f s measured, load average %s):\n", botCount,
                joinSeconds, runner.threadCount(), seconds, loadAverage().c_str());
    std::printf("  relay latency:  p50 %.3f ms, p99 %.3f ms, max %.3f ms (%zu echoes)\n", echo.p50, echo.p99, echo.max,
                echo.count);
    std::printf("  tick interval:  min %.2f ms, mean %.3f ms, p99 %.2f ms, max %.2f ms (%zu intervals, %td under 50 ms",
                ticks.min, ticks.mean, ticks.p99, ticks.max, ticks.count, shortGaps);
    if (shortAfterShared > 0) {
        std::printf(", %td of them after a Tick that shares the next packet's time stamp, as %td of the %zu do",
                    shortAfterShared, sharedStamps, ticks.count);
    }
    std::printf(")\n");
    std::printf("  server CPU:     %.1f %% of a core%s\n", serverCpu, options.record ? ", recording the match" : "");
    if (options.record) {
        const auto recordedAfter = std::filesystem::file_size(recording, sizeError);
        std::printf("  recording:      %.1f KiB/s written\n",
                    static_cast<double>(recordedAfter - recordedBefore) / 1024.0 / seconds);
    }
    std::printf("  relayed:        %.0f packets/s (%.0f deliveries/s to %d players; bots applied %.0f packets/s)\n",
                relayedPerSecond, relayedPerSecond * (botCount + 1), botCount + 1,
                static_cast<double>(after.applied - before.applied) / seconds);
    // Relayed packets delivered per second of the server's CPU, against what one core makes
    // of single 4-byte loopback sends: above 1, the server sends a player several packets per
    // system call.
    const double deliveries = relayedPerSecond * (botCount + 1);
    const double perCpuSecond = serverCpu > 0 ? deliveries / (serverCpu / 100) : 0;
    std::printf("  deliveries:     %.0f per server CPU-second, %.1f x the loopback single-send rate (%.0f)\n",
                perCpuSecond,
                options.loopbackSendsPerCpuSecond > 0 ? perCpuSecond / options.loopbackSendsPerCpuSecond : 0.0,
                options.loopbackSendsPerCpuSecond);
    if (fanOut) {
        std::printf("  flush floor:    one 4-byte send to each of %d loopback connections takes %.2f ms (%.1f us of "
                    "CPU a send; %.1f us a read at the far ends)\n",
                    botCount + 1, fanOut->roundMs, fanOut->sendCpuUs, fanOut->readCpuUs);
    } else {
        std::printf("  flush floor:    cannot open %d loopback connections\n", botCount + 1);
    }
    std::printf("  machine pauses: a thread spinning on each core for 1 s lost it %d times for over 1 ms (longest "
                "%.1f ms, %.2f %% of the time)\n",
                pauses.count, pauses.longestMs, pauses.lostShare * 100);
    std::printf("  bots process:   %.1f %% of a core; own echoes %.0f/s; respawns %d\n", botsCpu,
                static_cast<double>(after.echoes - before.echoes) / seconds, respawns);
    std::printf("  standing still: bots process %.1f %% of a core, server %.1f %% (Ticks only)\n", idleBotsCpu,
                idleServerCpu);
    std::printf("  dropped:        %d bots; %llu Leave packets seen\n", dropped,
                static_cast<unsigned long long>(observer.leaves()));
    // The server's input limits: nothing an honest bot sends may be dropped, nobody removed.
    const int limiterDrops = server.logLinesContaining(server_text::kDroppedWord);
    const int limiterRemovals = server.logLinesContaining(server_text::kRemovedWord);
    std::printf("  input limits:   %s (%d log lines about dropped packets, %d about removed players)\n",
                limiterDrops + limiterRemovals == 0 ? "dropped nothing" : "DROPPED PACKETS", limiterDrops,
                limiterRemovals);
    std::fflush(stdout);

    runner.leaveAll();
    observer.stop();
    server.stop();
    std::filesystem::remove(recording, sizeError);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    LoadOptions options;
    std::error_code error;
    options.dataDirectory = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    std::vector<int> counts{8, 64, 254};
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--server") {
            options.serverProgram = argv[i + 1];
        } else if (option == "--seconds") {
            options.measure = std::chrono::seconds(std::max(1, std::atoi(argv[i + 1])));
        } else if (option == "--batch") {
            options.batch = std::string_view(argv[i + 1]) == "on";
        } else if (option == "--record") {
            options.record = std::string_view(argv[i + 1]) == "on";
        } else if (option == "--threads") {
            options.threads = std::max(0, std::atoi(argv[i + 1]));
        } else if (option == "--bots") {  // e.g. "8,64,254"
            counts.clear();
            std::stringstream list(argv[i + 1]);
            for (std::string item; std::getline(list, item, ',');) {
                counts.push_back(std::clamp(std::atoi(item.c_str()), 1, 254));
            }
        } else {
            std::fprintf(stderr, "usage: load_bench [--bots 8,64,254] [--seconds S] [--threads N] [--batch on|off] [--record on|off] [--server PATH]\n");
            return 2;
        }
    }
    signal(SIGPIPE, SIG_IGN);
    std::printf("Kestrane load benchmark: %s, %u cores, load average %s at start\n", cpuModel().c_str(),
                std::thread::hardware_concurrency(), loadAverage().c_str());
    options.loopbackSendsPerCpuSecond = measureLoopbackSends();
    if (options.batch) {
        sched_param priority{};
        if (sched_setscheduler(0, SCHED_BATCH, &priority) != 0) {  // threads started from here on inherit it
            std::perror("load_bench: SCHED_BATCH");
            options.batch = false;
        }
    }
    std::printf("bots run as %s threads; the server as an ordinary process\n", options.batch ? "batch" : "ordinary");
    for (const int count : counts) {
        if (!runLoad(count, options)) {
            return 1;
        }
    }
    std::printf("load average %s at the end\n", loadAverage().c_str());
    return 0;
}
