// client_world.h -- one client's replicated world and the state its frame tick and chat keep.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "client/world/bullet_records.h"
#include "client/world/chat_box.h"
#include "client/world/chat_lines.h"
#include "client/world/key_snapshot.h"
#include "client/world/player_records.h"
#include "client/world/score_board.h"
#include "client/world/sprite_sizes.h"
#include "client/world/world_outbox.h"
#include "common/frame_timer.h"
#include "common/player_info.h"

namespace kestrane {

// Values of moveKeyState.
inline constexpr std::uint8_t kMoveIdle = 0;     // no move key held
inline constexpr std::uint8_t kMoveKeyHeld = 1;  // Up or Down held: walking
inline constexpr std::uint8_t kMoveStopDue = 2;  // both released: Stop goes out next frame

inline constexpr std::uint8_t kNoPlayerSlot = 0xFF;  // a table holds at most 255 players: slots 0 to 254
constexpr std::array<std::uint8_t, 256> emptyPlayerSlots() {
    std::array<std::uint8_t, 256> slots{};
    slots.fill(kNoPlayerSlot);
    return slots;
}

// Everything one client knows about the game: a simulation that changes only when a packet is
// applied (dispatcher.h) or a frame runs (frame_tick.h), and leaves what it asks of the outside
// world in `outbox`. It holds no socket, display or sound device, so several worlds may live
// in one process (tests, bots, a replay) and run without any. Main thread only.
struct ClientWorld {
    // caretClock paces the chat caret's blinking (seconds, monotonic).
    explicit ClientWorld(FrameTimer::Clock caretClock = secondsSinceStart);
    ClientWorld(const ClientWorld&) = delete;
    ClientWorld& operator=(const ClientWorld&) = delete;

    // Who the local player is: the number the server's Welcome gave and the name it joined
    // with (code page 949). Set before the first packet is applied.
    void setLocalPlayer(std::uint8_t number, const NameField& name);
    std::uint8_t localPlayerNumber() const { return localNumber; }

    std::uint8_t localNumber = 0;
    NameField playerName = makeNameField("");
    // Sizes and hot spots of the player and bullet frames.
    SpriteSizes sprites;
    // Effects waiting for the caller.
    WorldOutbox outbox;

    // Every player, the own one included, in the order they were added. Changed only through
    // player_records.h (and emptied by clearWorld), which keep playerSlots in step.
    std::vector<PlayerRecord> playerRecords;
    // Where each player number's record is in playerRecords, so that the packets naming a
    // player find it without a search; kNoPlayerSlot for none. findPlayerRecord checks the
    // slot against the table before trusting it.
    std::array<std::uint8_t, 256> playerSlots = emptyPlayerSlots();
    // Every shot and mine in flight, in order of arrival.
    std::vector<BulletRecord> bulletRecords;
    // The local player's own shots [0] and mines [1] still in bulletRecords; raised by the
    // frame tick when it fires, so shots not yet relayed back count as well.
    std::array<int, 2> ownBulletCount{};
    // Set when a hit leaves the local player with no energy; cleared by the respawn key.
    bool localDead = false;
    // While false the frame tick draws nothing and reads no keys; packets still apply.
    bool worldRunning = false;

    // The keys the frame tick goes by: the last snapshot taken while the chat box was closed.
    KeyState keys{};
    std::uint8_t moveKeyState = kMoveIdle;
    bool spaceLatch = false;  // a shot went out and Space has not been seen up since
    bool altLatch = false;    // a mine went out and left Alt has not been seen up since
    bool turnLatch = false;   // a turn key is held: one press turns once

    // Received chat lines, oldest first, and the frames the oldest has been shown.
    std::deque<ChatLine> chatLines;
    int chatLineAge = 0;
    // The newest kills, oldest first (score_board.h).
    std::deque<KillFeedLine> killFeed;
    FrameTimer caretTimer;  // slot kCaretSlot blinks the caret of the line being typed
    ChatBox chatBox;

    // What the frame being drawn shows besides the tables: the typed line (the box was open
    // when the frame began), its caret, the down picture and the scoreboard (Tab held).
    struct FrameView {
        bool chatInput = false;
        bool caret = false;
        bool down = false;
        bool scoreboard = false;
    } frameView;
};

// Empties the players, bullets, chat lines and kill feed (the client's shutdown).
void clearWorld(ClientWorld& world);

}  // namespace kestrane
