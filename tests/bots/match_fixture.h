// match_fixture.h -- a real server in this process, bots playing on it, a raw observer that
// records the wire, bot programs run as separate processes, and views of the bots' worlds.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bots/bot_runner.h"
#include "common/packet_queue.h"
#include "common/stream_reader.h"
#include "platform/tcp_socket.h"
#include "tests/server/test_client.h"
#include "tests/support/child_process.h"

namespace kestrane::testing {

// A player that speaks the wire format directly: it joins, stands still, answers every other
// player's Join with its state (so joins still end in a Resume), and records every packet but
// the Ticks, which it counts. Runs on its own thread.
class RawObserver {
public:
    ~RawObserver() { stop(); }

    // Connects, reads the Welcome and sends the Join; false when any of it fails.
    bool start(std::uint16_t port, std::string_view name, std::int16_t x, std::int16_t y);
    void stop();

    std::uint8_t number() const { return number_; }
    bool closed() const { return closed_.load(); }
    std::uint64_t ticks() const { return ticks_.load(); }
    // Packets received so far, Ticks left out.
    std::vector<PacketRecord> packets() const;
    // How many of them are of `type` (and from `sender`, when given).
    int count(MsgType type, std::optional<std::uint8_t> sender = std::nullopt) const;

private:
    void run();

    TcpSocket socket_;
    std::uint8_t number_ = 0;
    PlayerInfo info_;
    mutable std::mutex mutex_;
    std::vector<PacketRecord> packets_;
    std::atomic<std::uint64_t> ticks_{0};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> closed_{false};
    std::thread thread_;
};

// The kestrane-bots program on pipes, killed at the end if it is still running.
ChildProcess botsProgram(std::vector<std::string> arguments);

// The part of a world that every client must hold alike.
struct PlayerView {
    std::uint8_t number = 0;
    std::string name;
    int energy = 0, x = 0, y = 0, direction = 0, motion = 0;
    int kills = 0, deaths = 0;  // the scoreboard: every client counts the same Hits alike
    friend bool operator==(const PlayerView&, const PlayerView&) = default;
};
struct BulletView {
    int owner = 0, id = 0, x = 0, y = 0, kind = 0, direction = 0;
    friend bool operator==(const BulletView&, const BulletView&) = default;
};
struct WorldView {
    std::vector<PlayerView> players;  // by player number
    std::vector<BulletView> bullets;  // in table order
    friend bool operator==(const WorldView&, const WorldView&) = default;
};
WorldView viewOf(const ClientWorld& world);
std::string describe(const WorldView& view);

// A server on a free loopback port (see ServerFixture) and bots run by a BotRunner.
class MatchFixture : public ServerFixture {
protected:
    void TearDown() override;

    // Creates the runner with `count` bots named prefix + i, loads their artwork and joins them
    // all with their brains paused; asserts that every one joined.
    void joinBots(int count, std::string_view prefix, std::uint64_t seed);
    // Stops the server's loop and runs its Exit sequence (ServerClosing to everyone).
    void closeServer();

    // A quiet point: every brain paused (hands off, chat dropped), then waits until no bot has
    // anything queued, no shot is in flight in any world, no move key is held, and no packet
    // other than a Tick has reached any bot for 150 ms. Players then stand and only mines lie
    // still, so every world must be the same whichever Tick it has applied last. Returns the
    // views of the bots still playing (bot order), or nothing when the game does not settle within `timeout`.
    std::optional<std::vector<WorldView>> quietPoint(std::chrono::milliseconds timeout = std::chrono::seconds(15));
    // Asserts that all views are alike, showing the first that differs.
    static void expectAllAlike(const std::vector<WorldView>& views);
    // Lets the bots play (brains unpaused) for `duration`.
    void play(std::chrono::milliseconds duration);
    // Waits (up to `timeout`) until `condition`, checked with every bot held still, holds.
    bool eventuallyHeld(const std::function<bool(std::span<Bot* const>)>& condition,
                        std::chrono::milliseconds timeout = std::chrono::seconds(15));

    BotLog botLog;
    std::unique_ptr<BotRunner> runner;
};

// Whether a player of that name is in the world's table.
bool hasPlayerNamed(const ClientWorld& world, std::string_view name);

}  // namespace kestrane::testing
