// bullet_records.cpp -- the bullets table, bullet flight, hit detection and damage, firing.
#include "client/world/bullet_records.h"

#include <algorithm>
#include <cassert>

#include "client/world/client_world.h"
#include "client/world/score_board.h"
#include "common/protocol.h"

namespace kestrane {

namespace {

bool intersect(const PixelBox& a, const PixelBox& b) {
    return std::max(a.left, b.left) < std::min(a.right, b.right) &&
           std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

// The bullet a Hit from `victim` names. A client never reports its own player's bullets, so
// when ids repeat, the first bullet with that id that someone else fired is the one meant.
int findHitBullet(const ClientWorld& world, std::uint16_t id, std::uint8_t victim) {
    const auto& bullets = world.bulletRecords;
    const auto found = std::find_if(bullets.begin(), bullets.end(), [id, victim](const BulletRecord& bullet) {
        return bullet.id == id && bullet.owner != victim;
    });
    return found == bullets.end() ? findBulletRecord(world, id) : static_cast<int>(found - bullets.begin());
}

// Bullets of `kind` that `owner` has in the table.
int bulletsInFlight(const ClientWorld& world, std::uint8_t owner, std::uint8_t kind) {
    return static_cast<int>(std::count_if(world.bulletRecords.begin(), world.bulletRecords.end(),
                                          [owner, kind](const BulletRecord& bullet) {
                                              return bullet.owner == owner && bullet.kind == kind;
                                          }));
}

}  // namespace

void BulletRecord::init(std::uint8_t shooter, std::uint16_t bulletId, std::uint16_t startX, std::uint16_t startY,
                        std::uint8_t bulletKind, std::uint8_t facing, const SpriteSizes& sizes) {
    owner = shooter;
    id = bulletId;
    x = startX;
    y = startY;
    kind = bulletKind;
    direction = facing;
    animCounter = 0;
    speed = kind == kShot ? kShotSpeed : 0;
    frame = static_cast<std::uint8_t>(kind * kBulletFramesPerKind);
    computeBox(sizes);
}

void BulletRecord::computeBox(const SpriteSizes& sizes) {
    const FrameSize* picture = SpriteSizes::at(sizes.bullet, frame);
    const int halfWidth = picture != nullptr ? picture->hotSpotX : 0;
    const int halfHeight = picture != nullptr ? picture->hotSpotY : 0;
    box = {x - halfWidth, y - halfHeight, x + halfWidth, y + halfHeight};
}

bool BulletRecord::move(const SpriteSizes& sizes) {
    if (kind == kMine) {
        return true;
    }
    const StepDelta delta = stepDelta(direction);
    const auto nx = static_cast<std::uint16_t>(x + speed * delta.dx);
    const auto ny = static_cast<std::uint16_t>(y + speed * delta.dy);
    if (!insideArenaX(nx) || !insideArenaY(ny)) {
        return false;
    }
    x = nx;
    y = ny;
    computeBox(sizes);
    return true;
}

void BulletRecord::animate() {
    const std::uint8_t old = animCounter;
    animCounter = static_cast<std::uint8_t>(old + 1);
    if (old > 5) {
        frame = bulletNextFrame[frame % bulletNextFrame.size()];
        animCounter = 0;
    }
}

int findBulletRecord(const ClientWorld& world, std::uint16_t id) {
    const auto& bullets = world.bulletRecords;
    const auto found =
        std::find_if(bullets.begin(), bullets.end(), [id](const BulletRecord& bullet) { return bullet.id == id; });
    return found == bullets.end() ? -1 : static_cast<int>(found - bullets.begin());
}

bool addBulletRecord(ClientWorld& world, std::uint8_t owner, std::span<const std::uint8_t> payload) {
    const std::optional<FirePayload> fire = decodeFire(payload);
    if (!fire) {
        return false;
    }
    const std::uint8_t kind = fire->kind;
    if (kind != kShot && kind != kMine) {
        return false;  // no picture and no damage for it: a peer's bad value
    }
    if (owner == 0 || bulletsInFlight(world, owner, kind) >= kMaxBulletsPerOwner[kind]) {
        if (owner == world.localPlayerNumber()) {
            int& count = world.ownBulletCount[kind];
            count = std::max(count - 1, 0);  // the frame tick counted it when it fired
        }
        return false;
    }
    BulletRecord bullet;
    bullet.init(owner, fire->id, fire->x, fire->y, kind, fire->direction, world.sprites);
    world.bulletRecords.push_back(bullet);
    return true;
}

void removeBulletRecordAt(ClientWorld& world, std::size_t index) {
    assert(index < world.bulletRecords.size());
    const BulletRecord& bullet = world.bulletRecords[index];
    if (bullet.owner == world.localPlayerNumber()) {
        int& count = world.ownBulletCount[bullet.kind == kShot ? 0 : 1];
        // A bullet fired before a join cleared the counts may still come back afterwards;
        // it must not leave the count below zero and lift the fire limit for good.
        count = std::max(count - 1, 0);
    }
    world.bulletRecords.erase(world.bulletRecords.begin() + static_cast<std::ptrdiff_t>(index));
}

bool removeBulletRecord(ClientWorld& world, std::uint16_t id) {
    const int index = findBulletRecord(world, id);
    if (index < 0) {
        return false;
    }
    removeBulletRecordAt(world, static_cast<std::size_t>(index));
    return true;
}

void clearBulletRecords(ClientWorld& world) {
    world.bulletRecords.clear();
    world.ownBulletCount = {0, 0};
}

void animateBullets(ClientWorld& world) {
    for (BulletRecord& bullet : world.bulletRecords) {
        bullet.animate();
    }
}

void stepBulletsAndHitTest(ClientWorld& world) {
    // A player's world holds still until its own record arrives (its Join then empties the
    // bullets); a world watching without a player of its own (number 0) moves them always.
    const bool watching = world.localPlayerNumber() == 0;
    if (!watching && localPlayerRecord(world) == nullptr) {
        return;
    }
    // Last to first, so a bullet removing itself does not disturb the ones still to move.
    for (std::size_t i = world.bulletRecords.size(); i-- > 0;) {
        if (!world.bulletRecords[i].move(world.sprites)) {
            // The bullet that left goes, not the first one sharing its id.
            removeBulletRecordAt(world, i);
            world.outbox.sounds.push_back(kSoundBulletGone);
        }
    }
    if (watching) {
        return;
    }

    PlayerRecord& own = *localPlayerRecord(world);
    const FrameSize& picture = own.frameSize(world.sprites);
    const int halfWidth = picture.hotSpotX;
    const int halfHeight = picture.hotSpotY;
    // The picture's box shrunk by 5 pixels on every side.
    own.hitBox = {own.x - halfWidth + 5, own.y - halfHeight + 5, own.x + halfWidth - 5, own.y + halfHeight - 5};

    for (std::size_t i = world.bulletRecords.size(); i-- > 0;) {
        const BulletRecord& bullet = world.bulletRecords[i];
        if (bullet.owner != world.localPlayerNumber() && intersect(own.hitBox, bullet.box)) {
            world.outbox.packets.push_back(makeHitPacket(world.localPlayerNumber(), bullet.id));
        }
    }
}

void applyHit(ClientWorld& world, std::uint8_t victim, std::uint16_t bulletId) {
    const int v = findPlayerRecord(world, victim);
    if (v < 0) {
        return;
    }
    const int b = findHitBullet(world, bulletId, victim);
    if (b < 0) {
        return;
    }
    PlayerRecord& player = world.playerRecords[static_cast<std::size_t>(v)];
    const BulletRecord& bullet = world.bulletRecords[static_cast<std::size_t>(b)];
    const std::uint8_t owner = bullet.owner;
    const std::uint8_t kind = bullet.kind;
    bool killed = false;
    if (player.energy != 0) {
        const int energy = static_cast<int>(player.energy) - bulletDamage[kind == kShot ? 0 : 1];
        if (energy > 0) {
            player.energy = static_cast<std::uint8_t>(energy);
        } else {
            player.energy = 0;
            player.motion = kStanding;
            killed = true;
        }
        player.hitFlash = kHitFlashFrames;
        world.outbox.sounds.push_back(kSoundHit);
    }
    removeBulletRecordAt(world, static_cast<std::size_t>(b));
    if (killed) {
        creditKill(world, owner, victim, kind);
    }
    if (player.energy == 0 && victim == world.localPlayerNumber()) {
        world.localDead = true;
        world.outbox.sounds.push_back(kSoundDown);
    }
}

void fireBullet(ClientWorld& world, std::uint8_t kind) {
    const PlayerRecord* own = localPlayerRecord(world);
    if (own == nullptr) {
        return;
    }
    const FrameSize& picture = own->frameSize(world.sprites);
    const int halfWidth = picture.hotSpotX;
    const int halfHeight = picture.hotSpotY;
    const StepDelta delta = stepDelta(own->direction);
    // A shot starts at the front edge of the picture, a mine is laid at the back edge.
    const int sign = kind == kShot ? 1 : -1;
    const auto sx = static_cast<std::uint16_t>(own->x + sign * delta.dx * halfWidth + 2);
    const auto sy = static_cast<std::uint16_t>(own->y + sign * delta.dy * halfHeight + 2);

    world.outbox.packets.push_back(makeFirePacket(world.localPlayerNumber(), 0, sx, sy, kind, own->direction));
}

}  // namespace kestrane
