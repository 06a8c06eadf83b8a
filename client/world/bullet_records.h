// bullet_records.h -- shots and mines: the bullets table, flight on the tick, the local
// player's hit test, hits, and firing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "client/world/sprite_sizes.h"
#include "common/protocol.h"

namespace kestrane {

struct ClientWorld;

// Bullet sprite layout: frames 0..2 animate a shot, 3..5 a mine.
inline constexpr int kBulletFramesPerKind = 3;
inline constexpr std::array<std::uint8_t, kBulletKindCount * kBulletFramesPerKind> bulletNextFrame = {1, 2, 0,
                                                                                                      4, 5, 3};
// Energy a hit takes, by kind.
inline constexpr std::array<std::uint8_t, kBulletKindCount> bulletDamage = {5, 10};
inline constexpr int kShotSpeed = 5;  // pixels per tick
// Bullets of one owner a world holds at most, by kind: twice the fire limits, which honest
// clients stay below even when Fires sent before a Join come back after it. With player
// numbers 1 to 255 a world never holds more than 255 x 16 bullets.
inline constexpr std::array<int, kBulletKindCount> kMaxBulletsPerOwner = {6, 10};

// One shot or mine, as every client holds it. Only kinds 0 and 1 are ever stored.
struct BulletRecord {
    std::uint8_t owner = 0;  // the shooter's player number
    std::uint16_t id = 0;    // stamped by the server; ids repeat, so two bullets may share one
    std::uint16_t x = 0;     // where the sprite's hot spot goes, screen pixels
    std::uint16_t y = 0;
    std::uint8_t kind = kShot;
    std::uint8_t direction = 0;  // the shooter's facing when it fired
    std::uint8_t frame = 0;
    std::uint8_t animCounter = 0;  // gates frame changes to every seventh drawn frame
    std::uint8_t speed = 0;
    // The area the bullet hits: its picture's half-size (hot spot) either side of (x, y),
    // for the frame it had when created or last moved.
    PixelBox box{};

    void init(std::uint8_t owner, std::uint16_t id, std::uint16_t x, std::uint16_t y, std::uint8_t kind,
              std::uint8_t direction, const SpriteSizes& sizes);
    // One tick. A shot moves `speed` pixels along its direction; a mine stays. False when the
    // shot's next position is outside the arena: it has left, nothing changed, and the caller
    // removes it.
    bool move(const SpriteSizes& sizes);
    // Once per drawn frame: advances the animation (every seventh call).
    void animate();
    void computeBox(const SpriteSizes& sizes);
};

// Index of the first bullet with that id, or -1.
int findBulletRecord(const ClientWorld& world, std::uint16_t id);
// A relayed Fire from `owner`; payload: id, x, y (16-bit each), kind, direction. Refused
// (false): a payload shorter than 8 bytes, a kind other than shot or mine, owner 0, and a
// bullet that would give its owner more than kMaxBulletsPerOwner of its kind. A refused Fire
// of the local player gives its place in ownBulletCount back.
bool addBulletRecord(ClientWorld& world, std::uint8_t owner, std::span<const std::uint8_t> payload);
// Removes the first bullet with that id; false when there is none.
bool removeBulletRecord(ClientWorld& world, std::uint16_t id);
// Removes the bullet at `index` (inside the table), counting it off ownBulletCount when it
// is the local player's.
void removeBulletRecordAt(ClientWorld& world, std::size_t index);
// Removes every bullet; both own counts become 0.
void clearBulletRecords(ClientWorld& world);
// Once per drawn frame, before drawing: every bullet's animate().
void animateBullets(ClientWorld& world);
// A Tick, after the players have stepped: moves every bullet (one that leaves the arena is
// removed with sound 1), then reports with a Hit every bullet of another player that touches
// the local player. Nothing happens while the local player has no record, except in a world
// with no local player at all (number 0: a server recording played back), whose bullets move
// and which tests no hits.
void stepBulletsAndHitTest(ClientWorld& world);
// A relayed Hit: `victim` loses the bullet's damage (sound 3 if it had energy), the bullet
// goes, and a local player left without energy is down (sound 4). Unknown players or ids
// change nothing.
void applyHit(ClientWorld& world, std::uint8_t victim, std::uint16_t bulletId);
// Sends a Fire for a new bullet of the local player: a shot from the front edge of its
// picture, a mine from the back edge. The bullet itself arrives with the relayed copy.
void fireBullet(ClientWorld& world, std::uint8_t kind);

}  // namespace kestrane
