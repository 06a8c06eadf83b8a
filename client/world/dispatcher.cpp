// dispatcher.cpp -- one handler per message type.
#include "client/world/dispatcher.h"

#include "client/world/client_world.h"
#include "common/protocol.h"

namespace kestrane {

namespace {

void onJoin(ClientWorld& world, std::uint8_t sender, const PacketRecord& record) {
    world.outbox.sounds.push_back(kSoundJoined);
    addPlayerRecord(world, sender, *decodePlayerInfo(record));
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
    // Unused codes, and packets too short for what their code carries, change nothing.
    if (!payloadReadable(record)) {
        return;
    }
    const std::uint8_t sender = record.header.sender;
    switch (record.msgType()) {
        case MsgType::Join:
            onJoin(world, sender, record);
            break;
        case MsgType::Resume:
            world.worldRunning = true;
            break;
        case MsgType::Chat:
            appendChatLine(world, record.payloadBytes());
            break;
        case MsgType::Leave:
            removePlayerRecord(world, sender);
            break;
        case MsgType::Steer:
            steerPlayer(world, sender, *decodeSteer(record));
            break;
        case MsgType::Stop:
            stopPlayer(world, sender);
            break;
        case MsgType::PlayerState:
            applyPlayerState(world, sender, *decodePlayerInfo(record));
            break;
        case MsgType::SetPosition: {
            const PositionPayload position = *decodeSetPosition(record);
            setPlayerPosition(world, sender, position.x, position.y);
            break;
        }
        case MsgType::Tick:
            stepPlayers(world);
            stepBulletsAndHitTest(world);
            break;
        case MsgType::ServerClosing:
            world.worldRunning = false;
            world.outbox.pictures.push_back(kServerClosedPicture);
            break;
        case MsgType::Fire:
            addBulletRecord(world, sender, record.payloadBytes());
            break;
        case MsgType::Hit:
            applyHit(world, sender, *decodeHit(record));
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
