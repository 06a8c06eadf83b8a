// world_outbox.h -- what applying a packet or running a frame asks of the outside world:
// packets to send, sounds to play, centre pictures to show. The world only fills it; the
// caller carries it out (the client program through its session, sound and display, the bots
// through their session, a test or a replay by reading it) and empties it.
#pragma once

#include <vector>

#include "common/packet.h"

namespace kestrane {

// Sound effects, by slot: slot n is the sound file "<n + 1>.wav".
inline constexpr int kSoundShot = 0;
inline constexpr int kSoundBulletGone = 1;
inline constexpr int kSoundFootstep = 2;
inline constexpr int kSoundHit = 3;
inline constexpr int kSoundDown = 4;
inline constexpr int kSoundJoined = 5;

// Centre pictures of the Etc sprite set, drawn with their hot spot at the screen's centre.
inline constexpr int kJoinedPicture = 0;
inline constexpr int kDownPicture = 1;
inline constexpr int kServerClosedPicture = 2;
inline constexpr int kScreenCentreX = 400;
inline constexpr int kScreenCentreY = 300;

struct WorldOutbox {
    // Packets for the server, in the order they must go out, already carrying the local
    // player's number.
    std::vector<PacketRecord> packets;
    // Sound slots to start, in order.
    std::vector<int> sounds;
    // Centre pictures to draw over whatever the screen shows and present at once (a Join of
    // another player, the server closing), in order.
    std::vector<int> pictures;

    bool empty() const { return packets.empty() && sounds.empty() && pictures.empty(); }
    void clear() {
        packets.clear();
        sounds.clear();
        pictures.clear();
    }
};

}  // namespace kestrane
