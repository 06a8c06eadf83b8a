// replay_test.cpp -- a recorded world played back is the live world at every Tick, and a view
// of every player (a server recording) holds the same state as a player's own world.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "client/world/dispatcher.h"
#include "client/world/frame_tick.h"
#include "client/world/world_state.h"
#include "common/protocol.h"
#include "platform/clock.h"
#include "recording/replay.h"
#include "tests/media/test_files.h"

namespace kestrane::testing {
namespace {

constexpr std::uint8_t kOwn = 2;

PacketRecord joinOf(std::uint8_t number, std::int16_t x, std::int16_t y, std::uint8_t direction, const char* name) {
    PlayerInfo info;
    info.energy = kFullEnergy;
    info.x = x;
    info.y = y;
    info.direction = direction;
    info.name = makeNameField(name);
    return makePlayerInfoPacket(number, MsgType::Join, info);
}

// A match as the server relays it: two joins, then Ticks with steering, stops, shots, mines
// and hits from both players in between, chosen by a seeded generator.
class ScriptedMatch {
public:
    explicit ScriptedMatch(unsigned seed) : random_(seed) {}

    std::vector<PacketRecord> next(bool& tick) {
        tick = false;
        if (step_ == 0) {
            ++step_;
            return {joinOf(1, 200, 200, 2, "alpha")};
        }
        if (step_ == 1) {
            ++step_;
            PlayerInfo state;
            state.energy = kFullEnergy;
            state.x = 200;
            state.y = 200;
            state.direction = 2;
            state.name = makeNameField("alpha");
            return {joinOf(kOwn, 300, 300, 0, "golden"), makePlayerInfoPacket(1, MsgType::PlayerState, state),
                    makePacket(0, MsgType::Resume)};
        }
        std::vector<PacketRecord> packets;
        const int count = static_cast<int>(random_() % 3);
        for (int i = 0; i < count; ++i) {
            const auto player = static_cast<std::uint8_t>(1 + random_() % 2);
            switch (random_() % 6) {
                case 0:
                case 1:
                    packets.push_back(makeSteerPacket(player, std::array{SteerCode::Forward, SteerCode::Backward,
                                                                          SteerCode::TurnLeft,
                                                                          SteerCode::TurnRight}[random_() % 4]));
                    break;
                case 2:
                    packets.push_back(makePacket(player, MsgType::Stop));
                    break;
                case 3:
                    packets.push_back(makeFirePacket(player, serial_, static_cast<std::uint16_t>(100 + random_() % 400),
                                                     static_cast<std::uint16_t>(100 + random_() % 300),
                                                     random_() % 4 == 0 ? kMine : kShot,
                                                     static_cast<std::uint8_t>(random_() % 8)));
                    serial_ = serial_ > 100 ? 1 : static_cast<std::uint16_t>(serial_ + 1);
                    break;
                default:
                    packets.push_back(makeHitPacket(player, static_cast<std::uint16_t>(random_() % (serial_ + 1))));
                    break;
            }
        }
        packets.push_back(makePacket(0, MsgType::Tick));
        tick = true;
        return packets;
    }

private:
    std::mt19937 random_;
    int step_ = 0;
    std::uint16_t serial_ = 0;
};

TEST(Replay, PlaybackHoldsTheLiveWorldAtEveryTickAndAViewOfEveryoneAgreesWithAPlayer) {
    TempDir directory;
    const std::string path = directory.file("live.krec");
    ManualClock clock;
    ClientWorld live(clock.clock());
    ClientWorld everyone(clock.clock());  // number 0: the server's view
    live.setLocalPlayer(kOwn, makeNameField("golden"));
    RecordingWriter writer(clock.clock());
    std::string error;
    ASSERT_TRUE(writer.open(path, RecordingSource::Client, error)) << error;
    writer.writeLocalPlayer(kOwn, makeNameField("golden"));

    std::mt19937 keysRandom(5);
    ScriptedMatch match(17);
    std::vector<std::uint64_t> liveHashes;
    std::size_t mostBullets = 0;
    while (liveHashes.size() < 600) {
        bool tick = false;
        for (const PacketRecord& packet : match.next(tick)) {
            writer.writePacket(packet);
            applyPacket(live, packet);
            applyPacket(everyone, packet);
            live.outbox.clear();
            everyone.outbox.clear();
        }
        if (tick) {
            liveHashes.push_back(worldStateHash(live));
            mostBullets = std::max(mostBullets, live.bulletRecords.size());
            const std::optional<StateDifference> difference = firstStateDifference(live, everyone);
            ASSERT_FALSE(difference) << "tick " << liveHashes.size() << ": " << difference->what << " "
                                     << difference->field << " " << difference->first << " vs " << difference->second;
        }
        // A frame and a half per Tick, with keys that walk, turn, fire and open nothing else.
        for (int frame = 0; frame < 1 + static_cast<int>(liveHashes.size() % 2); ++frame) {
            KeyState keys{};
            for (const int key : {kKeyUp, kKeyLeft, kKeySpace, kKeyLeftAlt}) {
                setKeyDown(keys, key, keysRandom() % 3 == 0);
            }
            writer.writeFrame(keys);
            frameTick(live, keys);
            live.outbox.clear();
            clock.advance(0.033);
        }
    }
    writer.close();
    // The match moved: players walked and were hit, bullets flew.
    EXPECT_GT(std::set(liveHashes.begin(), liveHashes.end()).size(), 300u);
    EXPECT_GE(mostBullets, 4u);

    const std::optional<Recording> recording = loadRecording(path, error);
    ASSERT_TRUE(recording) << error;
    ASSERT_TRUE(recording->problem.empty()) << recording->problem;
    for (const bool frames : {true, false}) {
        SCOPED_TRACE(frames ? "with frames" : "without frames");
        Replay replay(*recording, clock.clock());
        std::vector<std::uint64_t> hashes;
        while (!replay.finished()) {
            if (replay.step(frames)) {
                hashes.push_back(worldStateHash(replay.world()));
            }
            EXPECT_TRUE(replay.world().outbox.packets.empty());  // playback sends nothing
            replay.world().outbox.clear();
        }
        EXPECT_EQ(replay.world().localPlayerNumber(), kOwn);
        ASSERT_EQ(hashes.size(), liveHashes.size());
        for (std::size_t i = 0; i < hashes.size(); ++i) {
            ASSERT_EQ(hashes[i], liveHashes[i]) << "Tick " << i + 1;
        }
        EXPECT_EQ(replay.ticks(), liveHashes.size());
    }
}

TEST(Replay, TheStateHashAndTheFirstDifferenceSeeEveryComparedField) {
    ClientWorld a;
    ClientWorld b;
    for (ClientWorld* world : {&a, &b}) {
        applyPacket(*world, joinOf(1, 200, 200, 2, "alpha"));
        applyPacket(*world, joinOf(3, 400, 300, 4, "gamma"));
        applyPacket(*world, makeFirePacket(3, 9, 300, 300, kShot, 2));
    }
    ASSERT_EQ(worldStateHash(a), worldStateHash(b));
    ASSERT_FALSE(firstStateDifference(a, b));
    struct Change {
        std::function<void(ClientWorld&)> apply;
        std::string what;
        std::string field;
        std::string first;
        std::string second;
    };
    const std::vector<Change> changes = {
        {[](ClientWorld& w) { w.playerRecords[1].name = makeNameField("gamma2"); }, "player 3", "name", "\"gamma\"", "\"gamma2\""},
        {[](ClientWorld& w) { w.playerRecords[0].energy = 95; }, "player 1", "energy", "100", "95"},
        {[](ClientWorld& w) { w.playerRecords[1].x = 402; }, "player 3", "x", "400", "402"},
        {[](ClientWorld& w) { w.playerRecords[0].y = 1; }, "player 1", "y", "200", "1"},
        {[](ClientWorld& w) { w.playerRecords[0].direction = 3; }, "player 1", "direction", "2", "3"},
        {[](ClientWorld& w) { w.playerRecords[0].motion = 1; }, "player 1", "motion", "0", "1"},
        {[](ClientWorld& w) { w.bulletRecords[0].x = 305; }, "bullet 0 (id 9 of player 3)", "x", "300", "305"},
        {[](ClientWorld& w) { w.bulletRecords[0].kind = kMine; }, "bullet 0 (id 9 of player 3)", "kind", "0", "1"},
        {[](ClientWorld& w) { w.bulletRecords.clear(); }, "bullets", "count", "1", "0"},
        {[](ClientWorld& w) { removePlayerRecord(w, 1); }, "player 1", "present", "yes", "missing"},
    };
    for (const Change& change : changes) {
        ClientWorld changed;
        for (const PacketRecord& packet : {joinOf(1, 200, 200, 2, "alpha"), joinOf(3, 400, 300, 4, "gamma"),
                                           makeFirePacket(3, 9, 300, 300, kShot, 2)}) {
            applyPacket(changed, packet);
        }
        change.apply(changed);
        EXPECT_NE(worldStateHash(a), worldStateHash(changed)) << change.what << " " << change.field;
        const std::optional<StateDifference> difference = firstStateDifference(a, changed);
        ASSERT_TRUE(difference) << change.what << " " << change.field;
        EXPECT_EQ(difference->what, change.what);
        EXPECT_EQ(difference->field, change.field);
        EXPECT_EQ(difference->first, change.first);
        EXPECT_EQ(difference->second, change.second);
    }
    // Frame-paced state is no part of it: two honest replicas draw different frames.
    b.playerRecords[0].frame = 7;
    b.playerRecords[0].animCounter = 2;
    b.bulletRecords[0].frame = 2;
    b.ownBulletCount = {2, 1};
    b.worldRunning = !a.worldRunning;
    EXPECT_EQ(worldStateHash(a), worldStateHash(b));
    // A player only one world knows is left out when only common players are compared.
    removePlayerRecord(b, 1);
    EXPECT_FALSE(firstStateDifference(a, b, {.commonPlayersOnly = true, .bullets = true}));
}

}  // namespace
}  // namespace kestrane::testing
