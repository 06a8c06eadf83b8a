// player_records.cpp -- the players table and a player's movement, animation and drawing.
#include "client/world/player_records.h"

#include <algorithm>

#include "client/world/client_world.h"
#include "client/world/score_board.h"
#include "common/protocol.h"

namespace kestrane {

namespace {

PlayerRecord makePlayerRecord(std::uint8_t number, const PlayerInfo& info) {
    PlayerRecord record;
    record.number = number;
    record.name = info.name;
    record.energy = info.energy;
    record.spare = info.spare;
    record.direction = info.direction;
    record.motion = info.motion;
    record.frame = info.frame;
    record.x = static_cast<std::uint16_t>(info.x);
    record.y = static_cast<std::uint16_t>(info.y);
    record.animCounter = 0;
    record.speed = kPlayerSpeed;
    record.kills = info.spare;  // what a player with a score of its own carries there
    return record;
}

PlayerRecord* findRecord(ClientWorld& world, std::uint8_t number) {
    const int index = findPlayerRecord(world, number);
    return index < 0 ? nullptr : &world.playerRecords[static_cast<std::size_t>(index)];
}

}  // namespace

std::uint8_t PlayerRecord::safeFrame() const {
    if (frame < kWalkFrameCount) {
        return frame;
    }
    const std::uint8_t facing = direction < kDirectionCount ? direction : 0;
    return static_cast<std::uint8_t>(facing * kFramesPerDirection);
}

const FrameSize& PlayerRecord::frameSize(const SpriteSizes& sizes) const { return sizes.player[safeFrame()]; }

PlayerInfo PlayerRecord::info() const {
    PlayerInfo info;
    info.energy = energy;
    info.spare = spare;
    info.direction = direction;
    info.motion = motion;
    info.frame = frame;
    info.x = static_cast<std::int16_t>(x);
    info.y = static_cast<std::int16_t>(y);
    info.name = name;
    return info;
}

void PlayerRecord::advanceFrame(std::uint8_t next) {
    const std::uint8_t old = animCounter;
    animCounter = static_cast<std::uint8_t>(old + 1);
    if (old > 1) {
        animCounter = 0;
        frame = next;
    }
}

void PlayerRecord::step() {
    advanceFrame(walkNextFrame[safeFrame()]);
    if (motion == kWalkingForward) {
        stepForward();
    } else {
        stepBackward();
    }
}

void PlayerRecord::stepForward() {
    const StepDelta delta = stepDelta(direction);
    stepBy(delta.dx, delta.dy);
}

void PlayerRecord::stepBackward() {
    const StepDelta delta = stepDelta(direction);
    stepBy(-delta.dx, -delta.dy);
}

void PlayerRecord::stepBy(int dx, int dy) {
    // Positions are unsigned 16-bit: a step left of 0 wraps far outside the arena.
    const auto nx = static_cast<std::uint16_t>(x + speed * dx);
    const auto ny = static_cast<std::uint16_t>(y + speed * dy);
    if (insideArenaX(nx)) {
        x = nx;
    }
    if (insideArenaY(ny)) {
        y = ny;
    }
}

void PlayerRecord::animate() {
    if (energy != 0 && motion == kStanding) {
        advanceFrame(standFrame[safeFrame()]);
    }
}

int PlayerRecord::shownFrame() const { return energy != 0 ? safeFrame() : kDeadFrame; }

int findPlayerRecord(const ClientWorld& world, std::uint8_t number) {
    const auto& records = world.playerRecords;
    const std::size_t slot = world.playerSlots[number];
    if (slot < records.size() && records[slot].number == number) {
        return static_cast<int>(slot);
    }
    // No slot (an unknown player), or a table changed behind the slots' back: search it.
    const auto found = std::find_if(records.begin(), records.end(),
                                    [number](const PlayerRecord& record) { return record.number == number; });
    return found == records.end() ? -1 : static_cast<int>(found - records.begin());
}

PlayerRecord* localPlayerRecord(ClientWorld& world) { return findRecord(world, world.localPlayerNumber()); }

void addPlayerRecord(ClientWorld& world, std::uint8_t number, const PlayerInfo& info) {
    if (number == 0) {
        return;  // the server is no player; only a hostile peer could send this
    }
    if (PlayerRecord* known = findRecord(world, number)) {
        // A player joins once: a second Join from the number (a peer's repeat) starts afresh.
        *known = makePlayerRecord(number, info);
        return;
    }
    world.playerSlots[number] = static_cast<std::uint8_t>(world.playerRecords.size());
    world.playerRecords.push_back(makePlayerRecord(number, info));
}

void applyPlayerState(ClientWorld& world, std::uint8_t number, const PlayerInfo& info) {
    if (PlayerRecord* record = findRecord(world, number)) {
        record->energy = info.energy;
        record->direction = info.direction;
        record->motion = info.motion;
        record->x = static_cast<std::uint16_t>(info.x);
        record->y = static_cast<std::uint16_t>(info.y);
        return;
    }
    // The local player is added by its own Join coming back, never by a state.
    if (number != world.localPlayerNumber()) {
        addPlayerRecord(world, number, info);
    }
}

bool removePlayerRecord(ClientWorld& world, std::uint8_t number) {
    const int index = findPlayerRecord(world, number);
    if (index < 0) {
        return false;
    }
    auto& records = world.playerRecords;
    records.erase(records.begin() + index);
    world.playerSlots[number] = kNoPlayerSlot;
    for (std::size_t slot = static_cast<std::size_t>(index); slot < records.size(); ++slot) {
        world.playerSlots[records[slot].number] = static_cast<std::uint8_t>(slot);
    }
    return true;
}

void steerPlayer(ClientWorld& world, std::uint8_t number, std::uint8_t code) {
    PlayerRecord* record = findRecord(world, number);
    if (record == nullptr) {
        return;
    }
    // A facing out of range (from the network) turns as if it were 0.
    const std::uint8_t facing = record->direction < kDirectionCount ? record->direction : 0;
    switch (static_cast<SteerCode>(code)) {
        case SteerCode::Forward:
            record->motion = kWalkingForward;
            break;
        case SteerCode::Backward:
            record->motion = kWalkingBackward;
            break;
        case SteerCode::TurnRight:
            record->direction = turnRightTable[facing];
            record->frame = static_cast<std::uint8_t>(record->direction * kFramesPerDirection);
            break;
        case SteerCode::TurnLeft:
            record->direction = turnLeftTable[facing];
            record->frame = static_cast<std::uint8_t>(record->direction * kFramesPerDirection);
            break;
        default:
            break;
    }
}

void stopPlayer(ClientWorld& world, std::uint8_t number) {
    if (PlayerRecord* record = findRecord(world, number)) {
        record->motion = kStanding;
    }
}

void setPlayerPosition(ClientWorld& world, std::uint8_t number, std::int16_t x, std::int16_t y) {
    if (number == world.localPlayerNumber()) {
        return;
    }
    if (PlayerRecord* record = findRecord(world, number)) {
        record->x = static_cast<std::uint16_t>(x);
        record->y = static_cast<std::uint16_t>(y);
    }
}

void stepPlayers(ClientWorld& world) {
    for (PlayerRecord& record : world.playerRecords) {
        if (record.motion != kStanding && record.energy != 0) {
            record.step();
        }
    }
}

void animatePlayers(ClientWorld& world) {
    for (PlayerRecord& record : world.playerRecords) {
        record.animate();
        if (record.hitFlash > 0) {
            record.hitFlash -= 1;
        }
    }
}

void sendOwnState(ClientWorld& world) {
    const PlayerRecord* own = localPlayerRecord(world);
    if (own == nullptr) {
        return;
    }
    PlayerInfo info = own->info();
    info.spare = carriedKills(own->kills);
    world.outbox.packets.push_back(makePlayerInfoPacket(world.localPlayerNumber(), MsgType::PlayerState, info));
}

}  // namespace kestrane
