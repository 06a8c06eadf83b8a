// bot_brain.cpp -- choosing a target, aiming, walking, firing, respawning and chatting, in key presses.
#include "bots/bot_brain.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "client/world/chat_box.h"
#include "client/world/client_world.h"
#include "client/world/player_records.h"
#include "platform/text_encoding.h"

namespace kestrane {

namespace {

// Distances in screen pixels.
constexpr int kApproachDistance = 170;  // farther than this, walk toward the opponent
constexpr int kRetreatDistance = 45;    // closer than this, sometimes back off
constexpr int kLineTolerance = 12;      // a shot this close to the opponent's centre hits
constexpr int kFireRange = 450;

// Times in frames (30 a second).
constexpr int kSecond = 30;
constexpr int kRespawnPauseMin = 45;  // 1.5 to 3.5 s down before F10
constexpr int kRespawnPauseMax = 105;
constexpr int kChatOpenTimeout = 3 * kSecond;  // F1 that does not open the box (world stopped) is given up

// Short lines a player types between fights (UTF-8 here; the chat box stores code page 949).
constexpr std::string_view kChatLines[] = {
    "안녕하세요!", "덤벼라!",     "조심해!", "한 판 더?", "좋은 샷이야", "지뢰 조심해",
    "여기야 여기!", "다시 간다!", "잠깐만",  "gg",        "nice shot",   "ㅋㅋㅋ",
};

constexpr int kKeyCodes[] = {kKeyF1, kKeyF10, kKeySpace, kKeyLeftAlt, kKeyLeft, kKeyRight, kKeyUp, kKeyDown};

// Bytes of the UTF-8 character starting with `lead`.
std::size_t utf8Length(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// The facing whose line of fire passes closest to a point `dx`, `dy` away (ahead of us).
std::uint8_t nearestLineOfFire(int dx, int dy) {
    std::uint8_t best = 0;
    long bestAcross = -1;  // the best line's across squared: its squared distance times its length
    long bestLength = 1;
    for (std::uint8_t direction = 0; direction < kDirectionCount; ++direction) {
        const StepDelta facing = stepDeltas[direction];
        const long along = static_cast<long>(dx) * facing.dx + static_cast<long>(dy) * facing.dy;
        if (along <= 0) {
            continue;
        }
        const long across = static_cast<long>(dx) * facing.dy - static_cast<long>(dy) * facing.dx;
        const long length = facing.dx * facing.dx + facing.dy * facing.dy;
        // across^2 / length < bestAcross / bestLength, without dividing
        if (bestAcross < 0 || across * across * bestLength < bestAcross * length) {
            best = direction;
            bestAcross = across * across;
            bestLength = length;
        }
    }
    return best;
}

// The facing at right angles to `line` that walks us toward that line through the point
// `dx`, `dy` away.
std::uint8_t stepAcross(std::uint8_t line, int dx, int dy) {
    const StepDelta facing = stepDeltas[line];
    const long across = static_cast<long>(dx) * facing.dy - static_cast<long>(dy) * facing.dx;
    // Walking along (fy, -fx) lowers `across`; along (-fy, fx) raises it.
    const StepDelta step = across > 0 ? StepDelta{facing.dy, -facing.dx} : StepDelta{-facing.dy, facing.dx};
    for (std::uint8_t direction = 0; direction < kDirectionCount; ++direction) {
        if (stepDeltas[direction].dx == step.dx && stepDeltas[direction].dy == step.dy) {
            return direction;
        }
    }
    return line;
}

}  // namespace

std::uint64_t BotRandom::next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int BotRandom::between(int low, int high) {
    const auto span = static_cast<std::uint64_t>(high - low) + 1;
    return low + static_cast<int>(next() % span);
}

std::uint8_t directionToward(int dx, int dy, std::uint8_t current) {
    if (dx == 0 && dy == 0) {
        return current;
    }
    // The sector borders lie at 22.5 degrees either side of each axis; 5/12 is close enough
    // to tan(22.5 degrees) = 0.414, and integers give the same answer on every machine.
    const long ax = std::labs(dx);
    const long ay = std::labs(dy);
    if (ax * 12 < ay * 5) {
        return dy < 0 ? 0 : 4;
    }
    if (ay * 12 < ax * 5) {
        return dx > 0 ? 2 : 6;
    }
    if (dx > 0) {
        return dy < 0 ? 1 : 3;
    }
    return dy < 0 ? 7 : 5;
}

bool linedUp(std::uint8_t direction, int dx, int dy, int tolerance, int range) {
    if (direction >= kDirectionCount) {
        return false;
    }
    const StepDelta facing = stepDeltas[direction];
    // Along and across the line of fire, both scaled by the facing's length (1 or the root of 2).
    const long along = static_cast<long>(dx) * facing.dx + static_cast<long>(dy) * facing.dy;
    const long across = static_cast<long>(dx) * facing.dy - static_cast<long>(dy) * facing.dx;
    const long lengthSquared = facing.dx * facing.dx + facing.dy * facing.dy;
    return along > 0 && across * across < static_cast<long>(tolerance) * tolerance * lengthSquared &&
           along * along <= static_cast<long>(range) * range * lengthSquared;
}

BotBrain::BotBrain(std::uint64_t seed) : random_(seed) {
    nextMineAt_ = random_.between(5 * kSecond, 15 * kSecond);
    scheduleNextChat(15, 60);
}

KeyState BotBrain::think(ClientWorld& world) {
    ++frame_;
    for (KeyTrack& key : keys_) {
        if (key.down && frame_ >= key.releaseAt) {
            key.down = false;
            key.upAt = frame_;
        }
    }

    if (paused_) {
        releaseAll();
        if (world.chatBox.chatActive()) {
            world.chatBox.keyDown(ChatKey::Escape);
        }
        if (chatPhase_ != ChatPhase::None) {
            chatPhase_ = ChatPhase::None;
            scheduleNextChat(20, 60);
        }
        return snapshot();
    }
    if (chatPhase_ != ChatPhase::None) {
        chat(world);
        return snapshot();
    }
    const PlayerRecord* own = localPlayerRecord(world);
    if (!world.worldRunning || own == nullptr) {
        return snapshot();  // nothing on screen to react to
    }
    if (world.localDead) {
        whileDown();
        return snapshot();
    }
    respawnAt_ = -1;

    if (frame_ >= nextChatAt_) {
        chatPhase_ = ChatPhase::Opening;
        chatPhaseSince_ = frame_;
        chatText_ = kChatLines[random_.between(0, static_cast<int>(std::size(kChatLines)) - 1)];
        chatTyped_ = 0;
        releaseAll();
        return snapshot();
    }
    if (frame_ >= nextDecisionAt_) {
        nextDecisionAt_ = frame_ + random_.between(kReactionMinFrames, kReactionMaxFrames);
        decide(world, *own);
    }
    return snapshot();
}

bool BotBrain::handsOff() const {
    return std::none_of(keys_.begin(), keys_.end(), [](const KeyTrack& key) { return key.down; });
}

bool BotBrain::press(Key key, int frames) {
    KeyTrack& track = keys_[key];
    if (track.down || frame_ - track.upAt < kMinKeyGapFrames) {
        return false;
    }
    track.down = true;
    track.downAt = frame_;
    track.releaseAt = frame_ + std::max(frames, kMinKeyHoldFrames);
    return true;
}

void BotBrain::hold(Key key, int frames) {
    KeyTrack& track = keys_[key];
    if (track.down) {
        track.releaseAt = std::max(track.releaseAt, frame_ + frames);
    } else {
        press(key, frames);
    }
}

void BotBrain::release(Key key) {
    KeyTrack& track = keys_[key];
    if (!track.down) {
        return;
    }
    if (frame_ >= track.downAt + kMinKeyHoldFrames) {
        track.down = false;
        track.upAt = frame_;
    } else {
        track.releaseAt = track.downAt + kMinKeyHoldFrames;
    }
}

void BotBrain::releaseAll() {
    for (std::size_t key = 0; key < KeyCount; ++key) {
        release(static_cast<Key>(key));
    }
}

KeyState BotBrain::snapshot() const {
    KeyState state{};
    for (std::size_t key = 0; key < KeyCount; ++key) {
        if (keys_[key].down) {
            state[static_cast<std::size_t>(kKeyCodes[key])] = kKeyDownBit;
        }
    }
    return state;
}

void BotBrain::whileDown() {
    releaseAll();
    if (respawnAt_ < 0) {
        respawnAt_ = frame_ + random_.between(kRespawnPauseMin, kRespawnPauseMax);
    }
    if (frame_ >= respawnAt_) {
        press(F10, kMinKeyHoldFrames);
    }
}

// F1 once no move key is held any more (the frame tick opens the box only then), then the
// text a character at a time, then Enter once F1 is up again, so the frame after the box
// closes does not open it anew.
void BotBrain::chat(ClientWorld& world) {
    ChatBox& box = world.chatBox;
    if (chatPhase_ == ChatPhase::Opening) {
        for (Key key : {F10, Space, LeftAlt, Left, Right, Up, Down}) {
            release(key);
        }
        if (box.chatActive()) {
            chatPhase_ = ChatPhase::Typing;
            nextCharacterAt_ = frame_ + random_.between(kTypingMinFrames, kTypingMaxFrames);
        } else if (frame_ - chatPhaseSince_ > kChatOpenTimeout) {
            chatPhase_ = ChatPhase::None;
            scheduleNextChat(20, 60);
        } else if (world.moveKeyState == kMoveIdle) {
            press(F1, kMinKeyHoldFrames);
        }
        return;
    }
    if (!box.chatActive()) {  // closed under our hands: start over later
        chatPhase_ = ChatPhase::None;
        scheduleNextChat(20, 60);
        return;
    }
    if (frame_ < nextCharacterAt_) {
        return;
    }
    if (chatTyped_ < chatText_.size()) {
        const std::size_t length = utf8Length(static_cast<unsigned char>(chatText_[chatTyped_]));
        box.textInput(utf8ToCp949(std::string_view(chatText_).substr(chatTyped_, length)));
        chatTyped_ += length;
        nextCharacterAt_ = frame_ + random_.between(kTypingMinFrames, kTypingMaxFrames);
    } else if (!isDown(F1)) {
        box.keyDown(ChatKey::Enter);
        ++chatLinesSent_;
        chatPhase_ = ChatPhase::None;
        scheduleNextChat(40, 90);
    }
}

void BotBrain::decide(ClientWorld& world, const PlayerRecord& own) {
    const PlayerRecord* target = nullptr;
    long best = 0;
    for (const PlayerRecord& other : world.playerRecords) {
        if (other.number == own.number || other.energy == 0) {
            continue;
        }
        const long dx = static_cast<long>(other.x) - own.x;
        const long dy = static_cast<long>(other.y) - own.y;
        const long distance = dx * dx + dy * dy;
        if (target == nullptr || distance < best) {
            target = &other;
            best = distance;
        }
    }
    // Walking, yet where we were a reaction ago: a wall. Turn away from it.
    const bool stuck = own.motion != kStanding && own.x == lastX_ && own.y == lastY_;
    lastX_ = own.x;
    lastY_ = own.y;
    if (stuck) {
        press(random_.chance(50) ? Left : Right, kMinKeyHoldFrames);
    }

    if (target != nullptr) {
        fight(own, *target);
    } else {
        wander(own);
    }
    const bool walking = isDown(Up) || isDown(Down);
    if (walking && frame_ >= nextMineAt_ && press(LeftAlt, random_.between(3, 5))) {
        nextMineAt_ = frame_ + random_.between(8 * kSecond, 20 * kSecond);
    }
}

// Shots fly along the eight facings only, so an opponent off those lines cannot be hit: in
// range, the bot walks across to the nearest line through the opponent, then turns along it.
void BotBrain::fight(const PlayerRecord& own, const PlayerRecord& target) {
    const int dx = static_cast<int>(target.x) - own.x;
    const int dy = static_cast<int>(target.y) - own.y;
    if (linedUp(own.direction, dx, dy, kLineTolerance, kFireRange)) {
        press(Space, random_.between(3, 5));
    }
    const long distance = static_cast<long>(dx) * dx + static_cast<long>(dy) * dy;
    const std::uint8_t line = nearestLineOfFire(dx, dy);
    std::uint8_t want = directionToward(dx, dy, own.direction);
    bool walkThatWay = false;
    if (distance > static_cast<long>(kApproachDistance) * kApproachDistance) {
        walkThatWay = true;  // close in
    } else if (distance < static_cast<long>(kRetreatDistance) * kRetreatDistance) {
        if (random_.chance(50)) {
            walk(Down, random_.between(6, 15));  // too close: back off, still facing it
        }
    } else if (linedUp(line, dx, dy, kLineTolerance, kFireRange)) {
        want = line;
    } else {
        want = stepAcross(line, dx, dy);
        walkThatWay = true;
    }

    const int turn = (want - own.direction) & 7;
    if (turn != 0) {
        const bool right = turn < 4 || (turn == 4 && random_.chance(50));
        press(right ? Right : Left, kMinKeyHoldFrames);  // one press turns one step
    }
    if (walkThatWay && turn == 0) {
        walk(Up, random_.between(10, 30));
    } else if (!isDown(Down)) {
        release(Up);
    }
}

void BotBrain::wander(const PlayerRecord& own) {
    if (own.motion == kStanding && !isDown(Up) && !isDown(Down) && random_.chance(70)) {
        walk(Up, random_.between(20, 60));
    }
    if (random_.chance(25)) {
        press(random_.chance(50) ? Left : Right, kMinKeyHoldFrames);
    }
}

// Walking the other way takes letting go first: the frame tick sends a new Steer only once
// both move keys are up.
void BotBrain::walk(Key way, int frames) {
    const Key other = way == Up ? Down : Up;
    if (isDown(other)) {
        release(other);
        return;
    }
    hold(way, frames);
}

void BotBrain::scheduleNextChat(int minSeconds, int maxSeconds) {
    nextChatAt_ = frame_ + random_.between(minSeconds * kSecond, maxSeconds * kSecond);
}

}  // namespace kestrane
