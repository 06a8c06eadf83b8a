// Pad events as SDL delivers them, turned into the key snapshot the keyboard would give.
#include "client/app/gamepad.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <initializer_list>

namespace kestrane {
namespace {

SDL_Event button(SDL_JoystickID pad, SDL_GameControllerButton which, bool down) {
    SDL_Event event{};
    event.type = down ? SDL_CONTROLLERBUTTONDOWN : SDL_CONTROLLERBUTTONUP;
    event.cbutton.which = pad;
    event.cbutton.button = static_cast<Uint8>(which);
    event.cbutton.state = down ? SDL_PRESSED : SDL_RELEASED;
    return event;
}

SDL_Event axis(SDL_JoystickID pad, SDL_GameControllerAxis which, int value) {
    SDL_Event event{};
    event.type = SDL_CONTROLLERAXISMOTION;
    event.caxis.which = pad;
    event.caxis.axis = static_cast<Uint8>(which);
    event.caxis.value = static_cast<Sint16>(value);
    return event;
}

SDL_Event removed(SDL_JoystickID pad) {
    SDL_Event event{};
    event.type = SDL_CONTROLLERDEVICEREMOVED;
    event.cdevice.which = pad;
    return event;
}

KeyState keysDown(std::initializer_list<int> codes) {
    KeyState keys{};
    for (const int code : codes) setKeyDown(keys, code, true);
    return keys;
}

TEST(Gamepad, EventsGiveTheSnapshotTheKeyboardWould) {
    struct Case {
        const char* what;
        std::vector<SDL_Event> events;
        KeyState expected;
    };
    const Case cases[] = {
        {"nothing held", {}, {}},
        {"d-pad up and right", {button(1, SDL_CONTROLLER_BUTTON_DPAD_UP, true), button(1, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true)},
         keysDown({kKeyUp, kKeyRight})},
        {"a button pressed and let go", {button(1, SDL_CONTROLLER_BUTTON_A, true), button(1, SDL_CONTROLLER_BUTTON_A, false)}, {}},
        {"A shoots, B lays a mine", {button(1, SDL_CONTROLLER_BUTTON_A, true), button(1, SDL_CONTROLLER_BUTTON_B, true)},
         keysDown({kKeySpace, kKeyLeftAlt})},
        {"Start gets up, Back shows the scores",
         {button(1, SDL_CONTROLLER_BUTTON_START, true), button(1, SDL_CONTROLLER_BUTTON_BACK, true)}, keysDown({kKeyF10, kKeyTab})},
        {"stick leaning down-left", {axis(1, SDL_CONTROLLER_AXIS_LEFTX, -30000), axis(1, SDL_CONTROLLER_AXIS_LEFTY, 20000)},
         keysDown({kKeyLeft, kKeyDown})},
        {"stick barely off centre", {axis(1, SDL_CONTROLLER_AXIS_LEFTX, kStickThreshold), axis(1, SDL_CONTROLLER_AXIS_LEFTY, -9000)}, {}},
        {"stick up, then back", {axis(1, SDL_CONTROLLER_AXIS_LEFTY, -32768), axis(1, SDL_CONTROLLER_AXIS_LEFTY, 0)}, {}},
        {"the right stick does nothing", {axis(1, SDL_CONTROLLER_AXIS_RIGHTX, 32767)}, {}},
        {"two pads together", {button(1, SDL_CONTROLLER_BUTTON_A, true), axis(2, SDL_CONTROLLER_AXIS_LEFTY, -32000)},
         keysDown({kKeySpace, kKeyUp})},
        {"a pad pulled out while held lets go", {button(3, SDL_CONTROLLER_BUTTON_A, true), removed(3)}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Gamepads pads;
        for (const SDL_Event& event : c.events) {
            EXPECT_TRUE(pads.handleEvent(event));
        }
        KeyState keys{};
        pads.addTo(keys);
        EXPECT_EQ(keys, c.expected);
    }
}

TEST(Gamepad, AddsToTheKeyboardAndLeavesOtherEventsAlone) {
    Gamepads pads;
    pads.handleEvent(button(1, SDL_CONTROLLER_BUTTON_DPAD_LEFT, true));
    KeyState keys = keysDown({kKeySpace});
    pads.addTo(keys);
    EXPECT_EQ(keys, keysDown({kKeySpace, kKeyLeft}));
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    EXPECT_FALSE(pads.handleEvent(key));
}

}  // namespace
}  // namespace kestrane
