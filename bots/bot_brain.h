// bot_brain.h -- a bot's hands on the keyboard: each frame it looks at its world and decides
// which keys are down, as a person at the keyboard would.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "client/world/key_snapshot.h"

namespace kestrane {

struct ClientWorld;
struct PlayerRecord;

// A small seeded generator (splitmix64): the same numbers on every machine for the same seed.
class BotRandom {
public:
    explicit BotRandom(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next();
    // A value from `low` to `high`, both included (`low` <= `high`).
    int between(int low, int high);
    // True with the given chance in percent.
    bool chance(int percent) { return between(1, 100) <= percent; }

private:
    std::uint64_t state_;
};

// How fast a bot's hands are, in frames of 1/30 s. Nobody taps a key for less than 100 ms or
// presses it again within 100 ms of letting go, and nobody reacts to what the screen shows in
// less than a fifth of a second.
inline constexpr int kMinKeyHoldFrames = 3;
inline constexpr int kMinKeyGapFrames = 3;
inline constexpr int kReactionMinFrames = 6;
inline constexpr int kReactionMaxFrames = 12;
// A character typed every 3 to 6 frames: 5 to 10 characters a second.
inline constexpr int kTypingMinFrames = 3;
inline constexpr int kTypingMaxFrames = 6;

// The facing (0 up, clockwise in steps of 45 degrees) nearest to the way from one place to
// another `dx`, `dy` pixels away (screen y grows downward); `current` when they coincide.
std::uint8_t directionToward(int dx, int dy, std::uint8_t current);
// Whether a shot fired facing `direction` passes within `tolerance` pixels of a point `dx`,
// `dy` away (ahead of the shooter, no farther than `range`).
bool linedUp(std::uint8_t direction, int dx, int dy, int tolerance, int range);

// One bot's player. Decides once a frame, before the frame tick reads the keyboard; it only
// produces key states (and types into the chat box), so the frame tick's latches and fire
// limits apply to it exactly as to a person. Its choices depend on its seed and on what its
// world shows, nothing else: the same seed and the same packets give the same keys.
//
// What it does: it turns toward the nearest opponent who is still up, walks toward one far
// away and backs off from one too close, fires when the opponent is in line, lays a mine now
// and then while walking, wanders when alone, presses F10 a second or two after going down,
// and now and then stops to type a short chat line (F1, the text, Enter). Main thread only
// (the thread that drives its world).
class BotBrain {
public:
    explicit BotBrain(std::uint64_t seed);

    // The keyboard snapshot for the frame about to be ticked. May type into the world's chat
    // box (which sends the line on Enter); reads the world and changes nothing else.
    KeyState think(ClientWorld& world);

    // A paused player keeps its hands off the keyboard: each key goes up once it has been held
    // its minimum time, a half-typed chat line is dropped, and nothing new is pressed.
    void setPaused(bool paused) { paused_ = paused; }
    bool paused() const { return paused_; }

    // Frames thought so far.
    int frame() const { return frame_; }
    // Chat lines sent with Enter so far.
    int chatLinesSent() const { return chatLinesSent_; }
    // True while no key is down (a paused bot has let go of everything).
    bool handsOff() const;

private:
    // The keys a bot uses, as indexes into keys_.
    enum Key : std::size_t { F1, F10, Space, LeftAlt, Left, Right, Up, Down, KeyCount };
    struct KeyTrack {
        bool down = false;
        int downAt = -1000;    // frame of the last press
        int upAt = -1000;      // frame of the last release
        int releaseAt = 0;     // while down: the frame it goes up
    };
    enum class ChatPhase { None, Opening, Typing };

    // Presses `key` for at least `frames` frames, if it is up and has been for long enough.
    bool press(Key key, int frames);
    // Keeps `key` down until at least `frames` from now, pressing it if it is up.
    void hold(Key key, int frames);
    // Lets `key` go as soon as it has been down its minimum time.
    void release(Key key);
    void releaseAll();
    bool isDown(Key key) const { return keys_[key].down; }
    KeyState snapshot() const;

    void whileDown();
    void chat(ClientWorld& world);
    void decide(ClientWorld& world, const PlayerRecord& own);
    void fight(const PlayerRecord& own, const PlayerRecord& target);
    void wander(const PlayerRecord& own);
    void walk(Key way, int frames);
    void scheduleNextChat(int minSeconds, int maxSeconds);

    BotRandom random_;
    bool paused_ = false;
    int frame_ = 0;
    std::array<KeyTrack, KeyCount> keys_{};
    int nextDecisionAt_ = 0;
    int respawnAt_ = -1;  // while down: the frame F10 goes down; -1 while up
    int nextMineAt_ = 0;
    int lastX_ = -1;  // position at the last decision, to notice walking into a wall
    int lastY_ = -1;

    ChatPhase chatPhase_ = ChatPhase::None;
    int nextChatAt_ = 0;
    int chatPhaseSince_ = 0;
    std::string chatText_;  // UTF-8, what is being typed
    std::size_t chatTyped_ = 0;
    int nextCharacterAt_ = 0;
    int chatLinesSent_ = 0;
};

}  // namespace kestrane
