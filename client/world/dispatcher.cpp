// dispatcher.cpp -- one handler per message type.
#include "client/world/dispatcher.h"

#include <cstddef>

#include "client/world/client_world.h"

namespace kestrane {

namespace {

// Payload bytes each message needs before it may be read.
constexpr std::size_t kSteerPayloadSize = 1;
constexpr std::size_t kSetPositionPayloadSize = 4;
constexpr std::size_t kHitPayloadSize = 2;

bool carries(const PacketRecord& record, std::size_t bytes) { return record.payloadBytes().size() >= bytes; }

void onJoin(ClientWorld& world, std::uint8_t sender, const PacketRecord& record) {
    world.outbox.sounds.push_back(kSoundJoined);
    addPlayerRecord(world, sender, PlayerInfo::decode(record.payloadBytes()));
    // Alone, the game runs at once; otherwise it waits for everyone's state and the Resume.
    world.worldRunning = world.playerRecords.size() == 1;
    if (sender == world.localPlayerNumber()) {
        // Every other client empties its bullets at this Join. Shots and mines relayed to us
        // between the Welcome and here are in no one else's world, and bullets did not move
        // while we had no record of our own: keeping them would hit, and be hit, on this
        // screen alone.
        clearBulletRecords(world);
        return;
    }
    sendOwnState(world);
    world.outbox.pictures.push_back(kJoinedPicture);
    clearBulletRecords(world);
}

}  // namespace

void applyPacket(ClientWorld& world, const PacketRecord& record) {
    const std::uint8_t sender = record.header.sender;
    const std::span<const std::uint8_t> payload = record.payloadBytes();
    switch (record.msgType()) {
        case MsgType::Join:
            if (carries(record, PlayerInfo::kEncodedSize)) {
                onJoin(world, sender, record);
            }
            break;
        case MsgType::Resume:
            world.worldRunning = true;
            break;
        case MsgType::Chat:
            appendChatLine(world, payload);
            break;
        case MsgType::Leave:
            removePlayerRecord(world, sender);
            break;
        case MsgType::Steer:
            if (carries(record, kSteerPayloadSize)) {
                steerPlayer(world, sender, payload[0]);
            }
            break;
        case MsgType::Stop:
            stopPlayer(world, sender);
            break;
        case MsgType::PlayerState:
            if (carries(record, PlayerInfo::kEncodedSize)) {
                applyPlayerState(world, sender, PlayerInfo::decode(payload));
            }
            break;
        case MsgType::SetPosition:
            if (carries(record, kSetPositionPayloadSize)) {
                setPlayerPosition(world, sender, readI16(&payload[0]), readI16(&payload[2]));
            }
            break;
        case MsgType::Tick:
            stepPlayers(world);
            stepBulletsAndHitTest(world);
            break;
        case MsgType::ServerClosing:
            world.worldRunning = false;
            world.outbox.pictures.push_back(kServerClosedPicture);
            break;
        case MsgType::Fire:
            addBulletRecord(world, sender, payload);
            break;
        case MsgType::Hit:
            if (carries(record, kHitPayloadSize)) {
                applyHit(world, sender, readU16(&payload[0]));
            }
            break;
        default:
            break;
    }
}

void dispatchNextPacket(ClientWorld& world, PacketQueue& queue) {
    const std::optional<PacketRecord> record = queue.front();
    if (!record) {
        return;
    }
    applyPacket(world, *record);
    queue.popFront();
}

}  // namespace kestrane
