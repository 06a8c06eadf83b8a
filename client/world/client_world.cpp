// client_world.cpp -- building and emptying a client's world.
#include "client/world/client_world.h"

namespace kestrane {

ClientWorld::ClientWorld(FrameTimer::Clock caretClock) : caretTimer(std::move(caretClock)), chatBox(*this) {}

void ClientWorld::setLocalPlayer(std::uint8_t number, const NameField& name) {
    localNumber = number;
    playerName = name;
}

void clearWorld(ClientWorld& world) {
    world.playerRecords.clear();
    world.playerSlots = emptyPlayerSlots();
    clearBulletRecords(world);
    world.chatLines.clear();
    world.chatLineAge = 0;
    world.killFeed.clear();
}

}  // namespace kestrane
