// frame_tick.cpp -- the frame's drawing order and the keyboard controls.
#include "client/world/frame_tick.h"

#include "client/world/client_world.h"
#include "client/world/dispatcher.h"

namespace kestrane {

namespace {

// The down picture, and F10 to stand up again with full energy.
void downedFrame(ClientWorld& world, const KeyboardDevice& keys) {
    world.media.etcSprites.draw(world.media.display, kDownPicture, kScreenCentreX, kScreenCentreY);
    world.moveKeyState = kMoveIdle;
    if (keys.isKeyDown(kKeyF10)) {
        world.session.sendHeaderOnly(MsgType::Stop);
        if (PlayerRecord* own = localPlayerRecord(world)) {
            own->energy = kFullEnergy;
        }
        sendOwnState(world);
        world.localDead = false;
    }
    world.media.display.present();
}

void fireKeys(ClientWorld& world, const KeyboardDevice& keys) {
    if (keys.isKeyDown(kKeySpace) && !world.spaceLatch && world.ownBulletCount[0] < kMaxShotsInFlight) {
        fireBullet(world, kShot);
        world.ownBulletCount[0] += 1;
        world.spaceLatch = true;
        world.media.sound.play(kSoundShot);
    }
    if (keys.isKeyDown(kKeyLeftAlt) && !world.altLatch && world.ownBulletCount[1] < kMaxMinesInFlight) {
        fireBullet(world, kMine);
        world.ownBulletCount[1] += 1;
        world.altLatch = true;
        world.media.sound.play(kSoundShot);
    }
    if (!keys.isKeyDown(kKeySpace)) {
        world.spaceLatch = false;
    }
    if (!keys.isKeyDown(kKeyLeftAlt)) {
        world.altLatch = false;
    }
}

// One turn per press; Left and Right pressed together send both turns.
void turnKeys(ClientWorld& world, const KeyboardDevice& keys) {
    const bool left = keys.isKeyDown(kKeyLeft);
    const bool right = keys.isKeyDown(kKeyRight);
    if (!world.turnLatch) {
        if (left) {
            world.session.sendSteer(static_cast<std::uint8_t>(SteerCode::TurnLeft));
        }
        if (right) {
            world.session.sendSteer(static_cast<std::uint8_t>(SteerCode::TurnRight));
        }
        world.turnLatch = true;
    }
    if (!left && !right) {
        world.turnLatch = false;
    }
}

void moveKeys(ClientWorld& world, const KeyboardDevice& keys) {
    const bool up = keys.isKeyDown(kKeyUp);
    const bool down = keys.isKeyDown(kKeyDown);
    switch (world.moveKeyState) {
        case kMoveIdle:
            if (up) {
                world.session.sendSteer(static_cast<std::uint8_t>(SteerCode::Forward));
                world.moveKeyState = kMoveKeyHeld;
            } else if (down) {
                world.session.sendSteer(static_cast<std::uint8_t>(SteerCode::Backward));
                world.moveKeyState = kMoveKeyHeld;
            }
            break;
        case kMoveKeyHeld:
            world.media.sound.play(kSoundFootstep);  // restarted every frame while walking
            if (!up && !down) {
                world.moveKeyState = kMoveStopDue;
            }
            break;
        case kMoveStopDue:
            world.session.sendHeaderOnly(MsgType::Stop);
            world.moveKeyState = kMoveIdle;
            break;
        default:
            break;
    }
}

}  // namespace

void frameTick(ClientWorld& world) {
    if (!world.worldRunning) {
        return;  // the screen keeps what was shown last, e.g. a centre picture
    }
    world.media.copyBackground();
    drawBullets(world);
    drawPlayers(world);  // over the bullets
    drawChatLines(world);

    KeyboardDevice& keys = world.media.keyboard;
    if (world.chatBox.chatActive()) {
        drawChatInput(world);
    } else {
        keys.poll();
    }
    if (world.moveKeyState == kMoveIdle && keys.isKeyDown(kKeyF1)) {
        world.chatBox.setFocus();
    }
    if (world.localDead) {
        downedFrame(world, keys);
        return;
    }
    world.media.display.present();

    // Everything below happens after the frame is shown.
    fireKeys(world, keys);
    turnKeys(world, keys);
    moveKeys(world, keys);
}

}  // namespace kestrane
