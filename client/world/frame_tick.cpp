// frame_tick.cpp -- the frame's order and the keyboard controls.
#include "client/world/frame_tick.h"

#include "client/world/client_world.h"

namespace kestrane {

namespace {

void send(ClientWorld& world, const PacketRecord& packet) { world.outbox.packets.push_back(packet); }

void sendSteer(ClientWorld& world, SteerCode code) { send(world, makeSteerPacket(world.localPlayerNumber(), code)); }

// F10 stands the player up again with full energy.
void downedFrame(ClientWorld& world) {
    world.moveKeyState = kMoveIdle;
    if (isKeyDown(world.keys, kKeyF10)) {
        send(world, makePacket(world.localPlayerNumber(), MsgType::Stop));
        if (PlayerRecord* own = localPlayerRecord(world)) {
            own->energy = kFullEnergy;
        }
        sendOwnState(world);
        world.localDead = false;
    }
}

void fireKeys(ClientWorld& world) {
    const KeyState& keys = world.keys;
    if (isKeyDown(keys, kKeySpace) && !world.spaceLatch && world.ownBulletCount[0] < kMaxShotsInFlight) {
        fireBullet(world, kShot);
        world.ownBulletCount[0] += 1;
        world.spaceLatch = true;
        world.outbox.sounds.push_back(kSoundShot);
    }
    if (isKeyDown(keys, kKeyLeftAlt) && !world.altLatch && world.ownBulletCount[1] < kMaxMinesInFlight) {
        fireBullet(world, kMine);
        world.ownBulletCount[1] += 1;
        world.altLatch = true;
        world.outbox.sounds.push_back(kSoundShot);
    }
    if (!isKeyDown(keys, kKeySpace)) {
        world.spaceLatch = false;
    }
    if (!isKeyDown(keys, kKeyLeftAlt)) {
        world.altLatch = false;
    }
}

// One turn per press; Left and Right pressed together send both turns.
void turnKeys(ClientWorld& world) {
    const bool left = isKeyDown(world.keys, kKeyLeft);
    const bool right = isKeyDown(world.keys, kKeyRight);
    if (!world.turnLatch) {
        if (left) {
            sendSteer(world, SteerCode::TurnLeft);
        }
        if (right) {
            sendSteer(world, SteerCode::TurnRight);
        }
        world.turnLatch = true;
    }
    if (!left && !right) {
        world.turnLatch = false;
    }
}

void moveKeys(ClientWorld& world) {
    const bool up = isKeyDown(world.keys, kKeyUp);
    const bool down = isKeyDown(world.keys, kKeyDown);
    switch (world.moveKeyState) {
        case kMoveIdle:
            if (up) {
                sendSteer(world, SteerCode::Forward);
                world.moveKeyState = kMoveKeyHeld;
            } else if (down) {
                sendSteer(world, SteerCode::Backward);
                world.moveKeyState = kMoveKeyHeld;
            }
            break;
        case kMoveKeyHeld:
            world.outbox.sounds.push_back(kSoundFootstep);  // restarted every frame while walking
            if (!up && !down) {
                world.moveKeyState = kMoveStopDue;
            }
            break;
        case kMoveStopDue:
            send(world, makePacket(world.localPlayerNumber(), MsgType::Stop));
            world.moveKeyState = kMoveIdle;
            break;
        default:
            break;
    }
}

}  // namespace

void frameTick(ClientWorld& world, const KeyState& keys, const std::function<void()>& draw) {
    if (!world.worldRunning) {
        return;  // the screen keeps what was shown last, e.g. a centre picture
    }
    animateBullets(world);
    animatePlayers(world);
    trimChatLines(world);

    world.frameView.chatInput = world.chatBox.chatActive();
    world.frameView.caret = false;
    if (world.frameView.chatInput) {
        refreshChatInput(world);
    } else {
        world.keys = keys;
    }
    if (world.moveKeyState == kMoveIdle && isKeyDown(world.keys, kKeyF1)) {
        world.chatBox.setFocus();
    }
    world.frameView.down = world.localDead;
    world.frameView.scoreboard = !world.frameView.chatInput && isKeyDown(world.keys, kKeyTab) != 0;
    if (draw) {
        draw();
    }
    ageChatLines(world);
    ageKillFeed(world);
    if (world.localDead) {
        downedFrame(world);
        return;
    }

    // Everything below happens after the frame is shown.
    fireKeys(world);
    turnKeys(world);
    moveKeys(world);
}

}  // namespace kestrane
