// golden_match_test.cpp -- a scripted match played through one client's world: packets in and
// keyboard snapshots per frame; every packet the client sends, every sound and centre picture
// it asks for and the world after each step are written out and compared with the record kept
// in golden_match.txt. Any change to what the world does shows up as a difference there.
// KESTRANE_WRITE_GOLDEN=1 rewrites the record instead (only for a change meant to alter it).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/world/world_fixture.h"

#ifndef KESTRANE_GOLDEN_MATCH_FILE
#error "the build names the record file"
#endif

namespace kestrane::testing {
namespace {

constexpr std::uint8_t kOwn = 2;

std::string hex(std::span<const std::uint8_t> bytes) {
    std::string text;
    char cell[4];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(cell, sizeof cell, "%02x", byte);
        text += cell;
    }
    return text;
}

// Plays the script and writes the record as it goes.
class GoldenMatch {
public:
    GoldenMatch() : client(kOwn, "golden") {
        client.media.sound.setPlayListener([this](int slot) { effects << " sound" << slot; });
    }

    void receive(std::initializer_list<PacketRecord> records, const char* what) {
        for (const PacketRecord& record : records) {
            client.log.clear();
            client.receive({record});
            for (const DrawLog::Sprite& sprite : client.log.sprites) {
                for (std::size_t i = 0; i < client.media.etcSprites.size(); ++i) {
                    if (sprite.frame == &client.media.etcSprites[i]) {
                        effects << " picture" << i;
                    }
                }
            }
        }
        note(std::string("in ") + what);
    }

    void frames(int count, std::initializer_list<int> down, const char* what) {
        for (int i = 0; i < count; ++i) {
            client.keys(down);
            client.frame();
        }
        note(std::to_string(count) + " frames " + what);
    }

    void typeAndSend(std::string_view text) {
        client.world.chatBox.textInput(text);
        client.world.chatBox.keyDown(ChatKey::Enter);
        note(std::string("typed ") + std::string(text));
    }

    std::string text() const { return out.str(); }

    WorldClient client;

private:
    void note(const std::string& what) {
        out << "# " << what << '\n';
        for (const PacketRecord& packet : client.sent()) {
            out << "sent " << hex(packet.wireBytes()) << '\n';
        }
        if (!effects.str().empty()) {
            out << "effects" << effects.str() << '\n';
            effects.str({});
        }
        writeWorld();
    }

    void writeWorld() {
        const ClientWorld& world = client.world;
        out << "world running=" << world.worldRunning << " dead=" << world.localDead << " own=" << world.ownBulletCount[0]
            << ',' << world.ownBulletCount[1] << " move=" << int{world.moveKeyState} << " latches=" << world.spaceLatch
            << world.altLatch << world.turnLatch << " chat=" << world.chatBox.chatActive() << '/'
            << world.chatLines.size() << '/' << world.chatLineAge << '\n';
        for (const PlayerRecord& p : world.playerRecords) {
            out << "  player " << int{p.number} << ' ' << nameText(p.name) << " e=" << int{p.energy} << " at=" << p.x
                << ',' << p.y << " dir=" << int{p.direction} << " frame=" << int{p.frame} << " motion=" << int{p.motion}
                << " anim=" << int{p.animCounter} << '\n';
        }
        for (const BulletRecord& b : world.bulletRecords) {
            out << "  bullet " << int{b.owner} << '#' << b.id << " kind=" << int{b.kind} << " at=" << b.x << ',' << b.y
                << " dir=" << int{b.direction} << " frame=" << int{b.frame} << " anim=" << int{b.animCounter}
                << " box=" << b.box.left << ',' << b.box.top << ',' << b.box.right << ',' << b.box.bottom << '\n';
        }
    }

    std::ostringstream out;
    std::ostringstream effects;
};

void playMatch(GoldenMatch& m) {
    // Before the own Join: a shot of player 1 that everyone drops at the Join.
    m.receive({firePacket(1, 3, 250, 250, kShot, 2), tickPacket()}, "a shot before the own join");
    m.receive({joinPacket(1, playerInfo(200, 200, 2, "alpha"))}, "player 1 joins");
    m.receive({joinPacket(kOwn, playerInfo(300, 300, 0, "golden", 15)), statePacket(1, playerInfo(200, 200, 2, "alpha"))},
              "own join, then player 1's state");
    m.frames(2, {kKeyUp}, "while waiting for the resume: nothing");
    m.receive({headerPacket(1, MsgType::Resume)}, "resume");

    // Walking forward, the relayed steer, ticks, release and the Stop a frame later.
    m.frames(3, {kKeyUp}, "up held");
    m.receive({steerPacket(kOwn, SteerCode::Forward), tickPacket(), tickPacket(), tickPacket(), tickPacket()},
              "forward relayed, four ticks");
    m.frames(2, {}, "up released");
    m.receive({headerPacket(kOwn, MsgType::Stop)}, "stop relayed");
    // Turning both ways, then walking backward diagonally.
    m.frames(2, {kKeyRight}, "right held");
    m.frames(1, {}, "right released");
    m.frames(1, {kKeyLeft, kKeyRight}, "left and right together");
    m.frames(1, {}, "both released");
    m.receive({steerPacket(kOwn, SteerCode::TurnRight), steerPacket(kOwn, SteerCode::TurnRight),
               steerPacket(kOwn, SteerCode::TurnLeft), steerPacket(kOwn, SteerCode::TurnRight)},
              "turns relayed");
    m.frames(2, {kKeyDown}, "down held");
    m.receive({steerPacket(kOwn, SteerCode::Backward), tickPacket(), tickPacket(), tickPacket()},
              "backward relayed, three ticks");
    m.frames(2, {}, "down released");
    m.receive({headerPacket(kOwn, MsgType::Stop)}, "stop relayed");

    // Other players move: steering, a position, ticks.
    m.receive({steerPacket(1, SteerCode::TurnLeft), steerPacket(1, SteerCode::Forward), tickPacket(), tickPacket(),
               makePacket(1, MsgType::SetPosition, std::array<std::uint8_t, 4>{0x90, 0x01, 0x2c, 0x01}),
               headerPacket(1, MsgType::Stop), tickPacket()},
              "player 1 walks and is placed");

    // Shots and mines: Space and left Alt within their limits, one per press.
    m.frames(1, {kKeySpace}, "space");
    m.frames(1, {kKeySpace}, "space still held");
    m.frames(1, {}, "space released");
    m.frames(1, {kKeySpace, kKeyLeftAlt}, "space and alt");
    m.frames(1, {}, "released");
    m.frames(1, {kKeySpace}, "space a third time");
    m.frames(1, {}, "released");
    m.frames(1, {kKeySpace}, "space a fourth time: over the limit");
    m.frames(1, {}, "released");
    const PacketRecord ownShot = makeFirePacket(kOwn, 40, 303, 282, kShot, 7);
    m.receive({ownShot, makeFirePacket(kOwn, 41, 303, 282, kShot, 7), makeFirePacket(kOwn, 42, 290, 316, kMine, 7),
               tickPacket(), tickPacket()},
              "own bullets relayed, two ticks");

    // A Hit on player 1 by an own shot; one on the own player by player 1's shot aimed at it.
    m.receive({hitPacket(1, 41)}, "player 1 hit by own shot 41");
    m.receive({makeFirePacket(1, 50, 296, 290, kShot, 0), makeFirePacket(1, 51, 298, 300, kMine, 0), tickPacket()},
              "player 1 fires at the own player");
    m.receive({hitPacket(kOwn, 51)}, "own player hit by the mine");
    m.receive({tickPacket()}, "another tick");
    m.receive({hitPacket(kOwn, 50)}, "own player hit by the shot: down");
    m.frames(2, {kKeyUp, kKeySpace}, "down: keys do nothing");
    m.frames(1, {kKeyF10}, "F10");
    m.receive({headerPacket(kOwn, MsgType::Stop), statePacket(kOwn, playerInfo(297, 303, 1, "golden"))},
              "respawn relayed");
    m.frames(1, {}, "keys up");

    // Chat: F1 opens the line, Enter sends it; lines from others and the own one come back.
    m.frames(1, {kKeyF1}, "F1");
    m.typeAndSend("hi all");
    m.receive({chatPacket(kOwn, "[golden] hi all"), chatPacket(1, "[alpha] hello")}, "chat relayed");
    m.frames(3, {}, "chat on screen");

    // A third player joins (the world stops and is answered), leaves; the game goes on.
    m.receive({joinPacket(3, playerInfo(400, 400, 4, "gamma"))}, "player 3 joins");
    m.receive({statePacket(3, playerInfo(400, 400, 4, "gamma")), headerPacket(3, MsgType::Resume)}, "resume");
    m.receive({headerPacket(3, MsgType::Leave), headerPacket(1, MsgType::Leave)}, "players 3 and 1 leave");
    m.receive({tickPacket(), tickPacket()}, "ticks");
    m.frames(2, {kKeyUp}, "walk once more");
    m.receive({headerPacket(0, MsgType::ServerClosing)}, "server closing");
    m.frames(1, {kKeyDown}, "after closing: nothing");
}

TEST(GoldenMatch, TheWorldDoesExactlyWhatItDidInTheRecordedMatch) {
    GoldenMatch match;
    playMatch(match);
    const std::string played = match.text();
    if (const char* write = std::getenv("KESTRANE_WRITE_GOLDEN"); write != nullptr && *write == '1') {
        std::ofstream(KESTRANE_GOLDEN_MATCH_FILE) << played;
        GTEST_SKIP() << "wrote " << KESTRANE_GOLDEN_MATCH_FILE;
    }
    std::ifstream file(KESTRANE_GOLDEN_MATCH_FILE);
    ASSERT_TRUE(file) << "no record at " << KESTRANE_GOLDEN_MATCH_FILE;
    std::stringstream recorded;
    recorded << file.rdbuf();
    // Line by line, so a failure names the first step that went another way.
    std::istringstream expected(recorded.str());
    std::istringstream actual(played);
    std::string want;
    std::string got;
    std::string step;
    for (int line = 1; std::getline(expected, want); ++line) {
        if (!std::getline(actual, got)) {
            FAIL() << "the match ended early; the record goes on at line " << line << ": " << want;
        }
        if (want.starts_with("# ")) {
            step = want;
        }
        ASSERT_EQ(got, want) << "line " << line << ", step " << step;
    }
    EXPECT_FALSE(std::getline(actual, got)) << "the match went on past the record: " << got;
}

}  // namespace
}  // namespace kestrane::testing
