// gamepad.h -- game controllers as a second keyboard: the left stick or d-pad walks and turns as
// the arrow keys do, A shoots, B lays a mine, Start gets up again and Back shows the scores.
#pragma once

#include <cstdint>
#include <map>

#include "client/world/key_snapshot.h"

union SDL_Event;
struct _SDL_GameController;

namespace kestrane {

// How far the stick must lean (of 32767) to count as an arrow key held.
inline constexpr int kStickThreshold = 16000;

// The pads plugged in, each one's buttons and stick as its events left them. Pads may come
// and go at any time. Main thread only.
class Gamepads {
public:
    Gamepads() = default;
    ~Gamepads();
    Gamepads(const Gamepads&) = delete;
    Gamepads& operator=(const Gamepads&) = delete;

    // Starts SDL's game controller support; the pads already plugged in then announce
    // themselves with events. False (and no pads) when it cannot start.
    bool open();
    // Takes a pad's event: added, removed, button or axis motion. True when it was one.
    bool handleEvent(const SDL_Event& event);
    // Sets the keys of the game's snapshot that some pad holds down (game key codes, as the
    // frame tick reads them); keys no pad holds stay as the keyboard left them.
    void addTo(KeyState& keys) const;
    std::size_t padCount() const { return pads_.size(); }

private:
    struct Pad {
        _SDL_GameController* controller = nullptr;  // null for a pad known only by its events
        std::uint32_t buttons = 0;                  // bit n: SDL button n held
        int stickX = 0;
        int stickY = 0;
    };
    std::map<std::int32_t, Pad> pads_;  // by joystick instance id
    bool opened_ = false;
};

}  // namespace kestrane
