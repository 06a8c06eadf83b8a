// The bot's brain at the keyboard of a real client world: aim, fire, respawn, chat, pause, and
// hands that are never faster than a person's.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "bots/bot_brain.h"
#include "platform/text_encoding.h"
#include "tests/world/world_fixture.h"

namespace kestrane::testing {
namespace {

constexpr int kWatchedKeys[] = {kKeyF1, kKeyF10, kKeySpace, kKeyLeftAlt, kKeyLeft, kKeyRight, kKeyUp, kKeyDown};

// A client world with a brain at its keyboard and a stand-in server that relays everything the
// client sends straight back, as the real one would, and ticks on two frames out of three.
struct BrainHarness {
    explicit BrainHarness(std::uint64_t seed, std::string_view name = "me") : client(1, name), brain(seed) {}

    // One frame: the brain sets the keys, the frame tick reads them, the sends come back.
    std::vector<PacketRecord> frame() {
        const KeyState keys = brain.think(client.world);
        history.push_back(keys);
        client.media.keyboard.setKeyState(keys);
        client.frame();
        std::vector<PacketRecord> sent = client.sent();
        for (const PacketRecord& packet : sent) {
            client.receive({packet});
        }
        if (++framesRun % 3 != 0) {
            client.receive({tickPacket()});
        }
        return sent;
    }
    // Frames until `stop` holds for what was sent (or `limit` frames); everything sent.
    std::vector<PacketRecord> frames(int limit, const std::function<bool(const PacketRecord&)>& stop = {}) {
        std::vector<PacketRecord> all;
        for (int i = 0; i < limit; ++i) {
            for (const PacketRecord& packet : frame()) {
                all.push_back(packet);
                if (stop && stop(packet)) {
                    return all;
                }
            }
        }
        return all;
    }
    bool keyDown(int key) const { return !history.empty() && (history.back()[static_cast<std::size_t>(key)] & kKeyDownBit) != 0; }

    WorldClient client;
    BotBrain brain;
    std::vector<KeyState> history;
    int framesRun = 0;
};

void startGame(BrainHarness& h, std::initializer_list<PacketRecord> others) {
    h.client.receive({joinPacket(1, playerInfo(300, 300, 0, "me"))});
    h.client.receive(others);
    h.client.receive({headerPacket(1, MsgType::Resume)});
    ASSERT_TRUE(h.client.world.worldRunning);
}

bool isType(const PacketRecord& packet, MsgType type) { return packet.msgType() == type; }

TEST(BotGeometry, FacingTowardAPlaceAndLinesOfFire) {
    // The eight ways, the borders between them, and a place right on top of us.
    EXPECT_EQ(directionToward(0, -50, 5), 0);
    EXPECT_EQ(directionToward(40, -40, 5), 1);
    EXPECT_EQ(directionToward(50, 0, 5), 2);
    EXPECT_EQ(directionToward(40, 40, 5), 3);
    EXPECT_EQ(directionToward(0, 50, 5), 4);
    EXPECT_EQ(directionToward(-40, 40, 5), 5);
    EXPECT_EQ(directionToward(-50, 0, 5), 6);
    EXPECT_EQ(directionToward(-40, -40, 5), 7);
    EXPECT_EQ(directionToward(20, -100, 5), 0);  // 11 degrees off up
    EXPECT_EQ(directionToward(50, -100, 5), 1);  // 27 degrees off up: the diagonal is nearer
    EXPECT_EQ(directionToward(0, 0, 5), 5);

    EXPECT_TRUE(linedUp(2, 200, 10, 12, 450));    // right, 10 px off the line
    EXPECT_FALSE(linedUp(2, 200, 14, 12, 450));   // too far off
    EXPECT_FALSE(linedUp(2, -200, 0, 12, 450));   // behind
    EXPECT_FALSE(linedUp(2, 500, 0, 12, 450));    // out of range
    EXPECT_TRUE(linedUp(3, 100, 110, 12, 450));   // down-right, about 7 px off the diagonal
    EXPECT_FALSE(linedUp(3, 100, 130, 12, 450));  // about 21 px off
    EXPECT_FALSE(linedUp(9, 100, 0, 12, 450));    // no such facing
}

TEST(BotBrain, TurnsTheShortWayTowardTheNearestStandingOpponentAndFiresOnceInLine) {
    BrainHarness h(5);
    startGame(h, {joinPacket(2, playerInfo(400, 300, 0, "near")),      // right of us, 100 px
                  joinPacket(3, playerInfo(300, 120, 0, "far")),       // straight ahead, but farther
                  joinPacket(4, playerInfo(310, 250, 0, "down", 0))});  // nearest, but down
    const auto sent = h.frames(90, [](const PacketRecord& p) { return isType(p, MsgType::Fire); });

    std::vector<int> turns;
    for (const PacketRecord& packet : sent) {
        if (isType(packet, MsgType::Steer)) {
            turns.push_back(packet.payload[0]);
        }
    }
    EXPECT_EQ(turns, (std::vector<int>{2, 2}));  // right twice: up, up-right, right
    ASSERT_FALSE(sent.empty());
    ASSERT_TRUE(isType(sent.back(), MsgType::Fire)) << "no shot within three seconds";
    EXPECT_EQ(sent.back().payload[kFireKindOffset], kShot);
    EXPECT_EQ(sent.back().payload[kFireDirectionOffset], 2);
    EXPECT_EQ(h.client.player(1).direction, 2);
    EXPECT_EQ(h.client.player(1).x, 300);  // in range: it stands and shoots
}

TEST(BotBrain, HandsAreNeverFasterThanAPersonsAndItPlaysTheWholeGame) {
    // A long game against three others who wander about: every key stays down and up at least
    // 100 ms each time, and over it the bot walks, turns, fires, lays mines and chats.
    BrainHarness h(21);
    startGame(h, {joinPacket(2, playerInfo(150, 150, 3, "a")), joinPacket(3, playerInfo(500, 200, 6, "b")),
                  joinPacket(4, playerInfo(400, 420, 1, "c"))});
    std::map<MsgType, int> sent;
    BotRandom script(77);
    for (int i = 0; i < 3000; ++i) {
        for (const PacketRecord& packet : h.frame()) {
            ++sent[packet.msgType()];
        }
        if (i % 20 == 0) {  // the others change their ways now and then
            const auto who = static_cast<std::uint8_t>(script.between(2, 4));
            const SteerCode codes[] = {SteerCode::Forward, SteerCode::TurnLeft, SteerCode::TurnRight, SteerCode::Backward};
            h.client.receive({steerPacket(who, codes[script.between(0, 3)])});
            if (script.chance(30)) {
                h.client.receive({headerPacket(who, MsgType::Stop)});
            }
        }
    }
    for (const int key : kWatchedKeys) {
        int run = 0;
        bool down = false;
        for (std::size_t frame = 0; frame < h.history.size(); ++frame) {
            const bool now = (h.history[frame][static_cast<std::size_t>(key)] & kKeyDownBit) != 0;
            if (now == down) {
                ++run;
                continue;
            }
            if (frame > 0 && run > 0) {
                EXPECT_GE(run, down ? kMinKeyHoldFrames : kMinKeyGapFrames)
                    << "key " << key << (down ? " held " : " released ") << "for " << run << " frames before frame " << frame;
            }
            down = now;
            run = 1;
        }
    }
    // At most one turn per reaction time (a fifth of a second).
    EXPECT_LE(sent[MsgType::Steer], 3000 / kReactionMinFrames + 3000 / (kMinKeyHoldFrames + kMinKeyGapFrames));
    EXPECT_GT(sent[MsgType::Steer], 10);
    EXPECT_GT(sent[MsgType::Stop], 0);
    EXPECT_GT(sent[MsgType::Fire], 0);
    EXPECT_GE(sent[MsgType::Chat], 1);
    EXPECT_EQ(sent[MsgType::Chat], h.brain.chatLinesSent());
    const bool laidMine = std::ranges::any_of(h.client.world.bulletRecords, [](const BulletRecord& b) { return b.kind == kMine; });
    EXPECT_TRUE(laidMine || h.client.world.ownBulletCount[1] > 0);
}

TEST(BotBrain, SameSeedAndSameWorldGiveTheSameKeys) {
    auto run = [](std::uint64_t seed) {
        BrainHarness h(seed);
        startGame(h, {joinPacket(2, playerInfo(120, 400, 1, "a")), joinPacket(3, playerInfo(520, 130, 5, "b"))});
        h.frames(1500);
        return h.history;
    };
    EXPECT_EQ(run(9), run(9));
    EXPECT_NE(run(9), run(10));
}

TEST(BotBrain, GetsUpWithF10AfterAShortPauseWhenDown) {
    BrainHarness h(3);
    startGame(h, {joinPacket(2, playerInfo(100, 100, 0, "other"))});
    h.frames(10);
    // Player 2's mine takes the last of our energy.
    h.client.world.playerRecords[0].energy = 10;
    h.client.receive({firePacket(2, 9, 300, 300, kMine, 0), hitPacket(1, 9)});
    ASSERT_TRUE(h.client.world.localDead);

    int pressedAfter = 0;
    std::vector<PacketRecord> sent;
    while (!h.keyDown(kKeyF10) && pressedAfter < 200) {
        for (const PacketRecord& packet : h.frame()) {
            sent.push_back(packet);
        }
        ++pressedAfter;
        const KeyState& keys = h.history.back();
        EXPECT_EQ(std::count_if(keys.begin(), keys.end(), [](std::uint8_t b) { return b != 0; }), h.keyDown(kKeyF10) ? 1 : 0)
            << "a key other than F10 is down while the player is down";
    }
    EXPECT_GE(pressedAfter, 45);  // 1.5 s
    EXPECT_LE(pressedAfter, 106);  // 3.5 s
    EXPECT_FALSE(h.client.world.localDead);
    ASSERT_EQ(sent.size(), 2u);  // Stop, then the state with full energy
    EXPECT_EQ(sent[0].msgType(), MsgType::Stop);
    EXPECT_EQ(sent[1].msgType(), MsgType::PlayerState);
    EXPECT_EQ(PlayerInfo::decode(sent[1].payloadBytes()).energy, 100);
}

TEST(BotBrain, ChatsThroughTheChatBoxOnlyWhenStandingAndTypesAtAPersonsPace) {
    BrainHarness h(8, "talker");
    startGame(h, {joinPacket(2, playerInfo(590, 460, 0, "far away"))});
    std::size_t typed = 0;
    int lastGrowth = -100;
    std::optional<PacketRecord> chat;
    for (int i = 0; i < 2400 && !chat; ++i) {
        const std::uint8_t moveStateBefore = h.client.world.moveKeyState;
        const bool boxWasOpen = h.client.world.chatBox.chatActive();
        for (const PacketRecord& packet : h.frame()) {
            if (isType(packet, MsgType::Chat)) {
                chat = packet;
            }
            // While the box has the keys, the frame tick reads none: nothing else goes out.
            EXPECT_TRUE(!boxWasOpen || isType(packet, MsgType::Chat)) << "sent type " << int{packet.header.type};
        }
        if (h.keyDown(kKeyF1) && !boxWasOpen) {
            EXPECT_EQ(moveStateBefore, kMoveIdle) << "F1 while a move key was held";
        }
        const std::size_t length = h.client.world.chatBox.text().size();
        if (length > typed) {
            EXPECT_GE(i - lastGrowth, kTypingMinFrames);
            EXPECT_LE(length - typed, 2u);  // one character (a Hangul syllable is two bytes)
            lastGrowth = i;
        }
        typed = length;
    }
    ASSERT_TRUE(chat) << "no chat line in 80 seconds";
    const std::span<const std::uint8_t> bytes = chat->payloadBytes();
    const std::string line = cp949ToUtf8(std::string(bytes.begin(), bytes.end()));
    EXPECT_TRUE(line.starts_with("[talker] ")) << line;
    EXPECT_GT(line.size(), std::string("[talker] ").size());
    EXPECT_FALSE(h.client.world.chatBox.chatActive());
    EXPECT_EQ(h.brain.chatLinesSent(), 1);
}

TEST(BotBrain, APausedBotLetsGoOfEverythingAndDropsItsHalfTypedLine) {
    BrainHarness h(8, "talker");
    startGame(h, {joinPacket(2, playerInfo(590, 460, 0, "far away"))});
    for (int i = 0; i < 2400 && h.client.world.chatBox.text().empty(); ++i) {
        h.frame();
    }
    ASSERT_FALSE(h.client.world.chatBox.text().empty()) << "never started typing";

    h.brain.setPaused(true);
    std::vector<PacketRecord> sent = h.frames(kMinKeyHoldFrames);
    EXPECT_TRUE(h.brain.handsOff());
    EXPECT_FALSE(h.client.world.chatBox.chatActive());
    const auto later = h.frames(150);
    sent.insert(sent.end(), later.begin(), later.end());
    EXPECT_TRUE(std::ranges::none_of(sent, [](const PacketRecord& p) { return p.msgType() != MsgType::Stop; }));
    EXPECT_EQ(h.brain.chatLinesSent(), 0);

    // Unpaused, it plays again.
    h.brain.setPaused(false);
    EXPECT_FALSE(h.frames(300).empty());
}

}  // namespace
}  // namespace kestrane::testing
