// gamepad.cpp -- SDL game controller events turned into the game's key snapshot.
#include "client/app/gamepad.h"

#include <SDL.h>

#include <utility>

namespace kestrane {

namespace {

constexpr std::pair<SDL_GameControllerButton, int> kButtonKeys[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, kKeyUp},     {SDL_CONTROLLER_BUTTON_DPAD_DOWN, kKeyDown},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, kKeyLeft}, {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, kKeyRight},
    {SDL_CONTROLLER_BUTTON_A, kKeySpace},        {SDL_CONTROLLER_BUTTON_B, kKeyLeftAlt},
    {SDL_CONTROLLER_BUTTON_START, kKeyF10},      {SDL_CONTROLLER_BUTTON_BACK, kKeyTab},
};

}  // namespace

Gamepads::~Gamepads() {
    for (auto& [id, pad] : pads_) {
        if (pad.controller != nullptr) {
            SDL_GameControllerClose(pad.controller);
        }
    }
    if (opened_) {
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
}

bool Gamepads::open() {
    opened_ = opened_ || SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    return opened_;
}

bool Gamepads::handleEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_CONTROLLERDEVICEADDED: {
            // `which` is a device index here; every later event names the instance id.
            SDL_GameController* controller = SDL_GameControllerOpen(event.cdevice.which);
            if (controller != nullptr) {
                const SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
                Pad& pad = pads_[id];
                if (pad.controller != nullptr && pad.controller != controller) {
                    SDL_GameControllerClose(pad.controller);
                }
                pad.controller = controller;
            }
            return true;
        }
        case SDL_CONTROLLERDEVICEREMOVED: {
            const auto found = pads_.find(event.cdevice.which);
            if (found != pads_.end()) {
                if (found->second.controller != nullptr) {
                    SDL_GameControllerClose(found->second.controller);
                }
                pads_.erase(found);  // whatever it held is let go
            }
            return true;
        }
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP: {
            if (event.cbutton.button >= 32) {
                return true;
            }
            Pad& pad = pads_[event.cbutton.which];
            const std::uint32_t bit = 1u << event.cbutton.button;
            pad.buttons = event.type == SDL_CONTROLLERBUTTONDOWN ? pad.buttons | bit : pad.buttons & ~bit;
            return true;
        }
        case SDL_CONTROLLERAXISMOTION: {
            Pad& pad = pads_[event.caxis.which];
            if (event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX) {
                pad.stickX = event.caxis.value;
            } else if (event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY) {
                pad.stickY = event.caxis.value;
            }
            return true;
        }
        default:
            return false;
    }
}

void Gamepads::addTo(KeyState& keys) const {
    for (const auto& [id, pad] : pads_) {
        for (const auto& [button, key] : kButtonKeys) {
            if ((pad.buttons & (1u << button)) != 0) {
                setKeyDown(keys, key, true);
            }
        }
        if (pad.stickY < -kStickThreshold) setKeyDown(keys, kKeyUp, true);
        if (pad.stickY > kStickThreshold) setKeyDown(keys, kKeyDown, true);
        if (pad.stickX < -kStickThreshold) setKeyDown(keys, kKeyLeft, true);
        if (pad.stickX > kStickThreshold) setKeyDown(keys, kKeyRight, true);
    }
}

}  // namespace kestrane
