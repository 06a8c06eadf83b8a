// The server's limits on their own, with time handed in: the input budget, the pace of the log
// lines about bad packets, admission against the operator's limits, and a player's backlog.
#include <gtest/gtest.h>

#include <numeric>

#include "server/connection_limits.h"
#include "server/input_budget.h"
#include "server/log_pace.h"
#include "platform/send_backlog.h"

namespace kestrane {
namespace {

using Verdict = InputBudget::Verdict;

TEST(InputBudget, BurstThenSustainedRateThenRemovalAfterASpellOfDrops) {
    const InputLimits limits{.packetsPerSecond = 10, .burst = 5, .removeAfterSeconds = 3, .joinRepeatSeconds = 5};
    struct Step {
        double at;    // seconds
        int packets;  // arriving at once
        int pass, firstDrop, drop, remove;
    };
    const std::vector<Step> steps = {
        {0.0, 6, 5, 1, 0, 0},     // a full bucket, then the first drop opens a spell
        {0.1, 2, 1, 0, 1, 0},     // one packet's worth refilled
        {1.0, 10, 5, 0, 5, 0},    // 0.9 s would refill 9, but the bucket holds 5; the spell goes on
        {2.5, 3, 3, 0, 0, 0},     // within budget: after 1.5 s without a drop the spell is over
        {2.6, 10, 3, 1, 6, 0},    // a new spell
        {3.5, 20, 5, 0, 15, 0},   // flooding, a drop at least once a second ...
        {4.5, 20, 5, 0, 15, 0},
        {5.5, 20, 5, 0, 15, 0},
        {5.7, 3, 2, 0, 0, 1},     // ... until 3 s after the spell began
    };
    InputBudget budget;
    for (const Step& step : steps) {
        int counts[4] = {};
        for (int i = 0; i < step.packets; ++i) {
            ++counts[static_cast<int>(budget.take(step.at, limits))];
        }
        EXPECT_EQ(counts[static_cast<int>(Verdict::Pass)], step.pass) << "at " << step.at;
        EXPECT_EQ(counts[static_cast<int>(Verdict::FirstDrop)], step.firstDrop) << "at " << step.at;
        EXPECT_EQ(counts[static_cast<int>(Verdict::Drop)], step.drop) << "at " << step.at;
        EXPECT_EQ(counts[static_cast<int>(Verdict::Remove)], step.remove) << "at " << step.at;
    }
}

TEST(LogPace, FirstEventHasItsLineTheRestOneSummaryASecond) {
    LogPace pace;
    std::vector<std::string> lines;
    const auto note = [&](double at) {
        const LogPace::Step step = pace.note(at);
        if (step.summary > 0) {
            lines.push_back(std::to_string(step.summary) + " more");
        }
        if (step.ownLine) {
            lines.push_back("line");
        }
    };
    const auto tick = [&](double at) {
        if (const std::uint64_t summary = pace.due(at)) {
            lines.push_back(std::to_string(summary) + " more");
        }
    };
    note(10.0);
    for (int i = 0; i < 1000; ++i) {
        note(10.0 + i * 0.0005);  // half a second of flood
    }
    tick(10.9);
    tick(11.0);
    note(11.5);
    tick(12.0);  // the second from 11.0 held one
    tick(13.0);  // a quiet second ends the run
    note(20.0);
    note(20.1);
    EXPECT_EQ(pace.takeRest(), 1u);
    EXPECT_EQ(pace.takeRest(), 0u);
    EXPECT_EQ(lines, (std::vector<std::string>{"line", "1000 more", "1 more", "line"}));
}

TEST(ConnectionLimits, PlayersAndAddressesAreCappedAndRefusalsLoggedOnceAMinute) {
    ServerLog log;
    ServerStatus status;
    PlayerTable players{log, status};
    const Ipv4Address home{{10, 0, 0, 1}};
    const Ipv4Address other{{10, 0, 0, 2}};
    const ConnectionLimits limits{.maxPlayers = 4, .maxPerAddress = 2};
    EXPECT_EQ(admissionRefusal(players, limits, home), Refusal::None);
    players.registerConnection(TcpSocket(), home);
    players.registerConnection(TcpSocket(), home);
    EXPECT_EQ(admissionRefusal(players, limits, home), Refusal::AddressFull);
    EXPECT_EQ(admissionRefusal(players, {.maxPlayers = 4, .maxPerAddress = 0}, home), Refusal::None);
    EXPECT_EQ(admissionRefusal(players, limits, other), Refusal::None);
    players.registerConnection(TcpSocket(), other);
    players.registerConnection(TcpSocket(), std::nullopt);  // an address the system did not tell
    EXPECT_EQ(admissionRefusal(players, limits, other), Refusal::ServerFull);
    players.removePlayer(1);
    EXPECT_EQ(admissionRefusal(players, limits, home), Refusal::None);

    RefusalLog refusals;
    EXPECT_TRUE(refusals.shouldLog(home, 0));
    EXPECT_FALSE(refusals.shouldLog(home, 59.9));
    EXPECT_TRUE(refusals.shouldLog(other, 59.9));
    EXPECT_TRUE(refusals.shouldLog(home, 60.0));
    EXPECT_TRUE(refusals.shouldLog(std::nullopt, 60.0));
    // A sweep over many addresses keeps the memory bounded and the log quiet.
    int logged = 0;
    for (std::uint32_t i = 0; i < 3 * RefusalLog::kMaxAddresses; ++i) {
        const Ipv4Address address{{11, static_cast<std::uint8_t>(i >> 16), static_cast<std::uint8_t>(i >> 8),
                                   static_cast<std::uint8_t>(i)}};
        logged += refusals.shouldLog(address, 61.0);
    }
    EXPECT_LE(logged, static_cast<int>(RefusalLog::kMaxAddresses));
    EXPECT_TRUE(refusals.shouldLog(Ipv4Address{{12, 0, 0, 1}}, 200.0));  // once the minute is over
}

TEST(SendBacklog, KeepsWhatTheSocketDoesNotTakeOrMayNotSendYetAndSendsItInOrderLater) {
    auto pair = TcpSocket::pair();
    ASSERT_TRUE(pair);
    TcpSocket& server = (*pair)[0];
    TcpSocket& client = (*pair)[1];
    const int small = 4096;
    server.setSendBufferSize(small);
    client.setReceiveBufferSize(small);

    std::vector<std::uint8_t> sent(256 * 1024);
    std::iota(sent.begin(), sent.end(), 0);  // a counting pattern: any loss or reordering shows
    std::vector<std::uint8_t> received;
    std::uint8_t buffer[8192];
    auto readAll = [&] {
        for (long got = 0; (got = client.receive(buffer, /*dontWait=*/true)) > 0;) {
            received.insert(received.end(), buffer, buffer + got);
        }
    };
    SendBacklog backlog;
    // Every other piece is appended, the rest are passed as a tail (a shared buffer's view):
    // either way what the socket does not take stays, in order.
    for (std::size_t at = 0; at < sent.size(); at += 1000) {
        const auto piece = std::span(sent).subspan(at, std::min<std::size_t>(1000, sent.size() - at));
        if ((at / 1000) % 2 == 0) {
            backlog.append(piece);
            ASSERT_NE(backlog.flush(server), SendBacklog::FlushResult::Failed);
        } else {
            ASSERT_NE(backlog.flush(server, piece), SendBacklog::FlushResult::Failed);
        }
    }
    EXPECT_GT(backlog.size(), 100'000u);  // the reader has not read: most of it waits
    EXPECT_TRUE(backlog.waitingForRoom());
    EXPECT_EQ(backlog.bytesAppended(), sent.size());

    // Held at a position: everything before it goes, however much room there is, and not a
    // byte more, until the hold is lifted.
    const std::uint64_t holdAt = 200'003;
    SendBacklog::FlushResult result = SendBacklog::FlushResult::Waiting;
    for (int step = 0; step < 100'000 && result != SendBacklog::FlushResult::Held; ++step) {
        result = backlog.flush(server, {}, holdAt);
        ASSERT_NE(result, SendBacklog::FlushResult::Failed);
        client.waitReadable(1000);
        readAll();
    }
    ASSERT_EQ(result, SendBacklog::FlushResult::Held);
    EXPECT_FALSE(backlog.waitingForRoom());  // the socket is not what it waits for
    readAll();
    // Over loopback TCP (Windows) the last bytes may still be on their way.
    while (received.size() < holdAt && client.waitReadable(1000)) {
        readAll();
    }
    EXPECT_EQ(received.size(), holdAt);
    EXPECT_EQ(backlog.bytesSent(), holdAt);

    while (received.size() < sent.size()) {
        if (backlog.flush(server) == SendBacklog::FlushResult::Drained && !client.waitReadable(1000)) {
            break;
        }
        readAll();
    }
    EXPECT_TRUE(backlog.empty());
    EXPECT_FALSE(backlog.waitingForRoom());
    EXPECT_TRUE(received == sent);

    // A tail that goes out whole leaves nothing behind.
    EXPECT_EQ(backlog.flush(server, std::span(sent).first(10)), SendBacklog::FlushResult::Drained);
    EXPECT_TRUE(backlog.empty());
    backlog.append(std::span(sent).first(10));
    client.close();
    server.shutdown();
    EXPECT_EQ(backlog.flush(server), SendBacklog::FlushResult::Failed);
}

}  // namespace
}  // namespace kestrane
