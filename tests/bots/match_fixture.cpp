// match_fixture.cpp -- the raw observer, the bot process, world views and quiet points.
#include "tests/bots/match_fixture.h"

#include <algorithm>
#include <sstream>

#include "client/world/client_world.h"
#include "common/protocol.h"
#include "tests/support/packet_reader.h"

namespace kestrane::testing {

bool RawObserver::start(std::uint16_t port, std::string_view name, std::int16_t x, std::int16_t y) {
    socket_ = TcpSocket::openStream();
    if (!socket_.valid() || socket_.connect(Ipv4Address::loopback(), port) != ConnectStatus::Connected) {
        return false;
    }
    socket_.setNoDelay(true);
    std::uint8_t welcome[kHeaderSize] = {};
    if (!socket_.waitReadable(2000) || socket_.receive(welcome) != 4 || welcome[0] != kPacketMarker) {
        return false;
    }
    number_ = welcome[1];
    info_.energy = 100;
    info_.x = x;
    info_.y = y;
    info_.name = makeNameField(name);
    const PacketRecord join = makePlayerInfoPacket(number_, MsgType::Join, info_);
    if (!socket_.sendAll(join.wireBytes())) {
        return false;
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void RawObserver::stop() {
    stopping_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    socket_.close();
}

void RawObserver::run() {
    PacketReader incoming(socket_);
    while (!stopping_) {
        if (!incoming.receive(std::chrono::milliseconds(20))) {
            closed_ = true;
            return;
        }
        while (std::optional<PacketRecord> record = incoming.queue().takeFront()) {
            if (record->msgType() == MsgType::Tick) {
                ++ticks_;
                continue;
            }
            if (record->msgType() == MsgType::Join && record->header.sender != number_) {
                const PacketRecord state = makePlayerInfoPacket(number_, MsgType::PlayerState, info_);
                socket_.sendAll(state.wireBytes());
            }
            std::lock_guard lock(mutex_);
            packets_.push_back(*record);
        }
    }
}

std::vector<PacketRecord> RawObserver::packets() const {
    std::lock_guard lock(mutex_);
    return packets_;
}

int RawObserver::count(MsgType type, std::optional<std::uint8_t> sender) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(packets_.begin(), packets_.end(), [&](const PacketRecord& record) {
        return record.msgType() == type && (!sender || record.header.sender == *sender);
    }));
}

ChildProcess botsProgram(std::vector<std::string> arguments) {
    return ChildProcess(KESTRANE_BOTS_PROGRAM, std::move(arguments));
}

WorldView viewOf(const ClientWorld& world) {
    WorldView view;
    for (const PlayerRecord& player : world.playerRecords) {
        view.players.push_back({player.number, std::string(nameText(player.name)), player.energy, player.x, player.y,
                                player.direction, player.motion, player.kills, player.deaths});
    }
    std::sort(view.players.begin(), view.players.end(),
              [](const PlayerView& a, const PlayerView& b) { return a.number < b.number; });
    for (const BulletRecord& bullet : world.bulletRecords) {
        view.bullets.push_back({bullet.owner, bullet.id, bullet.x, bullet.y, bullet.kind, bullet.direction});
    }
    return view;
}

std::string describe(const WorldView& view) {
    std::ostringstream text;
    for (const PlayerView& p : view.players) {
        text << "  player " << int{p.number} << " energy " << p.energy << " at (" << p.x << ", " << p.y
             << ") facing " << p.direction << " motion " << p.motion << " kills " << p.kills << " deaths " << p.deaths
             << "\n";
    }
    for (const BulletView& b : view.bullets) {
        text << "  bullet " << b.id << " of " << b.owner << " kind " << b.kind << " at (" << b.x << ", " << b.y
             << ") facing " << b.direction << "\n";
    }
    return text.str();
}

bool hasPlayerNamed(const ClientWorld& world, std::string_view name) {
    return std::any_of(world.playerRecords.begin(), world.playerRecords.end(),
                       [name](const PlayerRecord& player) { return nameText(player.name) == name; });
}

void MatchFixture::TearDown() {
    // Bots are honest players: the server's input limits must never have touched them.
    EXPECT_EQ(server->state().packetsDropped.load(), 0u);
    EXPECT_EQ(server->state().playersRemovedForFlooding.load(), 0u);
    {
        std::lock_guard lock(server->state().playersMutex);
        EXPECT_EQ(server->state().players.slowReadersRemoved(), 0u);
    }
    runner.reset();
    if (loop.joinable()) {
        server->requestExit();
        loop.join();
    }
    server.reset();
}

void MatchFixture::joinBots(int count, std::string_view prefix, std::uint64_t seed) {
    BotRunnerOptions options;
    options.server = "127.0.0.1:" + std::to_string(port);
    options.count = count;
    options.namePrefix = std::string(prefix);
    options.seed = seed;
    runner = std::make_unique<BotRunner>(options, botLog);
    ASSERT_TRUE(runner->loadArtwork());  // tests run where the build puts the artwork
    runner->setBrainsPaused(true);
    ASSERT_EQ(runner->joinAll(), count);
}

void MatchFixture::closeServer() {
    server->requestExit();
    loop.join();
    server->exitServer();
}

std::optional<std::vector<WorldView>> MatchFixture::quietPoint(std::chrono::milliseconds timeout) {
    runner->setBrainsPaused(true);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<std::uint64_t> lastSeen;  // non-Tick packets applied, per bot
    while (std::chrono::steady_clock::now() < deadline) {
        std::vector<std::uint64_t> seen;
        std::vector<WorldView> views;
        bool still = true;
        runner->withBotsHeld([&](std::span<Bot* const> bots) {
            for (Bot* bot : bots) {
                if (bot->phase() != BotPhase::Playing) {
                    continue;  // left, or lost with the server
                }
                const ClientWorld& world = bot->world();
                const bool shotInFlight = std::any_of(world.bulletRecords.begin(), world.bulletRecords.end(),
                                                      [](const BulletRecord& bullet) { return bullet.kind == kShot; });
                still = still && bot->brain().handsOff() && !world.chatBox.chatActive() &&
                        world.moveKeyState == kMoveIdle && !shotInFlight && bot->session().queue().empty();
                seen.push_back(bot->counters().packetsApplied - bot->counters().ticks);
                views.push_back(viewOf(world));
            }
        });
        if (still && seen == lastSeen) {
            return views;
        }
        lastSeen = still ? seen : std::vector<std::uint64_t>{};
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    return std::nullopt;
}

void MatchFixture::expectAllAlike(const std::vector<WorldView>& views) {
    ASSERT_FALSE(views.empty());
    for (std::size_t i = 1; i < views.size(); ++i) {
        EXPECT_EQ(views[i], views[0]) << "bot " << i + 1 << " sees\n"
                                      << describe(views[i]) << "bot 1 sees\n"
                                      << describe(views[0]);
    }
}

void MatchFixture::play(std::chrono::milliseconds duration) {
    runner->setBrainsPaused(false);
    std::this_thread::sleep_for(duration);
}

bool MatchFixture::eventuallyHeld(const std::function<bool(std::span<Bot* const>)>& condition,
                                  std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        bool holds = false;
        runner->withBotsHeld([&](std::span<Bot* const> bots) { holds = condition(bots); });
        if (holds) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace kestrane::testing
