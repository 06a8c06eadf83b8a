// client_world.h -- one client's replicated world and the state its frame tick and chat keep.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "client/media/client_media.h"
#include "client/net/client_session.h"
#include "client/world/bullet_records.h"
#include "client/world/chat_box.h"
#include "client/world/chat_lines.h"
#include "client/world/player_records.h"
#include "common/frame_timer.h"

namespace kestrane {

// Values of moveKeyState.
inline constexpr std::uint8_t kMoveIdle = 0;     // no move key held
inline constexpr std::uint8_t kMoveKeyHeld = 1;  // Up or Down held: walking
inline constexpr std::uint8_t kMoveStopDue = 2;  // both released: Stop goes out next frame

// Everything one client knows about the game, and the references it needs to act: the
// session (player number, name, packet queue, sends) and the media (display, sprites,
// keyboard, sounds). Several worlds may live in one process (tests, bots), each with its own
// session and media. The world only changes through the operations declared next to its
// record types (player_records.h, bullet_records.h, chat_lines.h), the dispatcher and the
// frame tick. Main thread only: the session's receive thread touches nothing here but the
// session's queue.
struct ClientWorld {
    // caretClock paces the chat caret's blinking (seconds, monotonic).
    ClientWorld(ClientSession& session, ClientMedia& media, FrameTimer::Clock caretClock = secondsSinceStart);
    ClientWorld(const ClientWorld&) = delete;
    ClientWorld& operator=(const ClientWorld&) = delete;

    ClientSession& session;
    ClientMedia& media;

    // Every player, the own one included, in the order they were added.
    std::vector<PlayerRecord> playerRecords;
    // Every shot and mine in flight, in order of arrival.
    std::vector<BulletRecord> bulletRecords;
    // The local player's own shots [0] and mines [1] still in bulletRecords; raised by the
    // frame tick when it fires, so shots not yet relayed back count as well.
    std::array<int, 2> ownBulletCount{};
    // Set when a hit leaves the local player with no energy; cleared by the respawn key.
    bool localDead = false;
    // While false the frame tick draws nothing and reads no keys; packets still apply.
    bool worldRunning = false;

    std::uint8_t moveKeyState = kMoveIdle;
    bool spaceLatch = false;  // a shot went out and Space has not been seen up since
    bool altLatch = false;    // a mine went out and left Alt has not been seen up since
    bool turnLatch = false;   // a turn key is held: one press turns once

    // Received chat lines, oldest first, and the frames the oldest has been shown.
    std::deque<ChatLine> chatLines;
    int chatLineAge = 0;
    FrameTimer caretTimer;  // slot kCaretSlot blinks the caret of the line being typed
    ChatBox chatBox;

    std::uint8_t localPlayerNumber() const { return session.localPlayerNumber(); }
};

// Empties the players, bullets and chat lines (the client's shutdown).
void clearWorld(ClientWorld& world);

}  // namespace kestrane
