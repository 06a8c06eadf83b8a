// client_world.cpp -- building and emptying a client's world.
#include "client/world/client_world.h"

namespace kestrane {

ClientWorld::ClientWorld(ClientSession& clientSession, ClientMedia& clientMedia, FrameTimer::Clock caretClock)
    : session(clientSession),
      media(clientMedia),
      caretTimer(std::move(caretClock)),
      chatBox(createChatBox(clientSession)) {}

void clearWorld(ClientWorld& world) {
    world.playerRecords.clear();
    clearBulletRecords(world);
    world.chatLines.clear();
    world.chatLineAge = 0;
}

}  // namespace kestrane
