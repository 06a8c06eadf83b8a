// player_records.h -- the players table: records, movement on the tick, animation, and the
// PlayerState the client sends about its own player.
#pragma once

#include <array>
#include <cstdint>

#include "client/world/sprite_sizes.h"
#include "common/player_info.h"

namespace kestrane {

struct ClientWorld;

// Player sprite layout: frames 3d, 3d + 1, 3d + 2 face direction d (0 up, clockwise in steps
// of 45 degrees), the first of them the standing pose; frame 24 shows a player who is down.
inline constexpr int kDirectionCount = 8;
inline constexpr int kFramesPerDirection = 3;
inline constexpr int kWalkFrameCount = kDirectionCount * kFramesPerDirection;

// Each direction's three frames in a cycle, by frame.
inline constexpr std::array<std::uint8_t, kWalkFrameCount> walkNextFrame = {
    1, 2, 0, 4, 5, 3, 7, 8, 6, 10, 11, 9, 13, 14, 12, 16, 17, 15, 19, 20, 18, 22, 23, 21};
// The standing frame of each frame's direction.
inline constexpr std::array<std::uint8_t, kWalkFrameCount> standFrame = {
    0, 0, 0, 3, 3, 3, 6, 6, 6, 9, 9, 9, 12, 12, 12, 15, 15, 15, 18, 18, 18, 21, 21, 21};
// One step counter-clockwise and clockwise, by direction.
inline constexpr std::array<std::uint8_t, kDirectionCount> turnLeftTable = {7, 0, 1, 2, 3, 4, 5, 6};
inline constexpr std::array<std::uint8_t, kDirectionCount> turnRightTable = {1, 2, 3, 4, 5, 6, 7, 0};

// One step in a direction, in screen pixels (y grows downward); shared with the bullets.
struct StepDelta {
    int dx = 0;
    int dy = 0;
};
inline constexpr std::array<StepDelta, kDirectionCount> stepDeltas = {
    {{0, -1}, {1, -1}, {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}}};
// A direction outside 0..7 (only a peer can send one) does not move.
constexpr StepDelta stepDelta(std::uint8_t direction) {
    return direction < kDirectionCount ? stepDeltas[direction] : StepDelta{};
}

// The arena: a player or bullet position is accepted only strictly inside these bounds,
// so x runs from 76 to 609 and y from 76 to 469.
inline constexpr int kArenaLeft = 75;
inline constexpr int kArenaRight = 610;
inline constexpr int kArenaTop = 75;
inline constexpr int kArenaBottom = 470;
constexpr bool insideArenaX(int x) { return kArenaLeft < x && x < kArenaRight; }
constexpr bool insideArenaY(int y) { return kArenaTop < y && y < kArenaBottom; }

// Values of PlayerRecord::motion; any other value walks backward, as 2 does.
inline constexpr std::uint8_t kStanding = 0;
inline constexpr std::uint8_t kWalkingForward = 1;
inline constexpr std::uint8_t kWalkingBackward = 2;

inline constexpr int kPlayerSpeed = 2;       // pixels per tick
inline constexpr int kFullEnergy = 100;

// One player, as every client holds it.
struct PlayerRecord {
    std::uint8_t number = 0;  // the key of the table
    NameField name{};         // as it arrived; the text is at most 20 bytes
    std::uint8_t energy = 0;  // 0 is down
    std::uint16_t x = 0;      // where the sprite's hot spot goes, screen pixels
    std::uint16_t y = 0;
    std::uint8_t spare = 0;  // carried along in PlayerState, read by nobody
    std::uint8_t direction = 0;
    std::uint8_t frame = 0;
    std::uint8_t motion = kStanding;
    std::uint8_t animCounter = 0;  // gates frame changes to every third call
    std::uint8_t speed = kPlayerSpeed;
    PixelBox hitBox{};  // kept for the local player only, set before each hit test
    // The score as this client counted it from the Hits it applied; a player first met through
    // its state or Join starts from the kills it carried in `spare`.
    int kills = 0;
    int deaths = 0;
    std::uint8_t hitFlash = 0;  // drawn frames left of the flash after a hit

    // One tick of a moving player: the walk animation, then a step forward or backward.
    void step();
    // Moves `speed` pixels along the facing (backward: against it); each axis is kept only if
    // it stays inside the arena, so a player walking diagonally into a wall slides along it.
    void stepForward();
    void stepBackward();
    // Counts a call; every third call the frame becomes `next`.
    void advanceFrame(std::uint8_t next);
    // Once per drawn frame: a standing player with energy drifts back to its standing pose.
    void animate();
    // The frame drawn for the player: its safe frame, or the downed picture without energy.
    int shownFrame() const;

    // The frame to index tables and pictures with: the stored frame when it is one of the 24
    // walking frames, otherwise (a value from the network) the standing frame of the facing,
    // or of direction 0 when the facing is out of range too.
    std::uint8_t safeFrame() const;
    // The size of safeFrame()'s picture in `sizes`.
    const FrameSize& frameSize(const SpriteSizes& sizes) const;
    PlayerInfo info() const;

private:
    void stepBy(int dx, int dy);
};

// Index of the first record with that number, or -1.
int findPlayerRecord(const ClientWorld& world, std::uint8_t number);
// The local player's record, or null while it has none.
PlayerRecord* localPlayerRecord(ClientWorld& world);
// A Join: a record made from `info` replaces the one with that number, or is appended when
// there is none, so the table never holds a number twice. Number 0 (the server) is refused.
void addPlayerRecord(ClientWorld& world, std::uint8_t number, const PlayerInfo& info);
// A PlayerState: a known player takes energy, direction, motion and position (not name,
// spare or frame); an unknown other player is added; an unknown local player is ignored.
void applyPlayerState(ClientWorld& world, std::uint8_t number, const PlayerInfo& info);
// Erases the first record with that number; false when there is none.
bool removePlayerRecord(ClientWorld& world, std::uint8_t number);
// Steering code 0 walks forward, 4 backward, 2 turns right and 6 left (the facing's standing
// frame is then shown); other codes and unknown players change nothing.
void steerPlayer(ClientWorld& world, std::uint8_t number, std::uint8_t code);
void stopPlayer(ClientWorld& world, std::uint8_t number);
// Moves another player without an arena check; the local player is never moved this way.
void setPlayerPosition(ClientWorld& world, std::uint8_t number, std::int16_t x, std::int16_t y);
// A Tick: steps every player that moves and has energy, first to last.
void stepPlayers(ClientWorld& world);
// Once per drawn frame, before drawing: every player's animate(), and hit flashes fade.
void animatePlayers(ClientWorld& world);
// Sends the local player's record as a PlayerState, its kill count in `spare`; nothing while
// it has no record.
void sendOwnState(ClientWorld& world);

}  // namespace kestrane
