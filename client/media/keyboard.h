// keyboard.h -- the keyboard device: the key state read into the world's 256-byte snapshot.
// What talks to SDL (the scancode table, create() and the reader it makes) is on the media's
// SDL edge (keyboard_sdl.cpp, kestrane_media_sdl); bots and tests set snapshots themselves.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "client/world/key_snapshot.h"

struct SDL_Window;

namespace kestrane {

// Result codes, as the input set-up reports them: 0 is success.
inline constexpr std::int32_t kInputOk = 0;
inline constexpr std::int32_t kInputFail = static_cast<std::int32_t>(0x80004005u);

// The key code of an SDL scancode (an SDL_Scancode value), 0 for keys the game has no code for.
int keyCodeForScancode(int scancode);
// The name of a key code as players read it ("Space", "Left Alt", "F10"), empty for codes no
// key has; and back, 0 for names no key of the game has (case is ignored).
std::string keyName(int keyCode);
int keyCodeForName(std::string_view name);
// A snapshot from SDL's keyboard state array (indexed by scancode, non-zero = down).
KeyState keyStateFromScancodes(std::span<const std::uint8_t> scancodeStates);

// The program's input system; it must exist before the keyboard device. Main thread only.
class InputSystem {
public:
    // What create() started, stopped again when the input system goes.
    class Events {
    public:
        virtual ~Events() = default;
    };

    InputSystem() = default;
    virtual ~InputSystem() = default;
    InputSystem(const InputSystem&) = delete;
    InputSystem& operator=(const InputSystem&) = delete;

    // Starts SDL's event handling (the video subsystem must be up for keys to arrive). A second
    // call shows "이미 오브젝트 생성했슴" and returns kInputFail; a failure to start shows
    // "DirectInputCreateEx FAILED" and returns the platform's code. Captions are "FAILED".
    std::int32_t create(SDL_Window* window);
    bool created() const { return events_ != nullptr; }

private:
    std::unique_ptr<Events> events_;
};

// Where a keyboard device reads its snapshots from.
class KeyReader {
public:
    virtual ~KeyReader() = default;
    virtual KeyState read() = 0;
};

// The keyboard. Empty at first: every key reads as up until readKeys or setKeyState. Main thread only.
class KeyboardDevice {
public:
    KeyboardDevice() = default;
    virtual ~KeyboardDevice() = default;
    KeyboardDevice(const KeyboardDevice&) = delete;
    KeyboardDevice& operator=(const KeyboardDevice&) = delete;

    // Binds the device to the game window: keys are read only while that window has the
    // keyboard focus. Without a created input system shows "CreateDeviceEx FAILED"; with no
    // usable window "SetCooperativeLevel FAILED" (caption "FAILED"); returns kInputFail then.
    std::int32_t create(SDL_Window* window, const InputSystem& inputSystem);
    bool created() const { return reader_ != nullptr; }

    // Takes a new snapshot. While the window lacks the focus every key reads as up, so a key
    // held when the player switches away does not stay down. Without a device: nothing changes.
    void readKeys() {
        if (reader_ != nullptr) {
            keyState_ = reader_->read();
        }
    }
    // 1 when bit 7 of the snapshot byte for keyCode % 256 is set, else 0.
    int isKeyDown(int keyCode) const { return kestrane::isKeyDown(keyState_, keyCode); }

    const KeyState& keyState() const { return keyState_; }
    // For bots and tests: the snapshot the next key tests read (a read with a device replaces it).
    void setKeyState(const KeyState& state) { keyState_ = state; }
    void setKeyDown(int keyCode, bool down) { keyState_[static_cast<std::uint8_t>(keyCode)] = down ? kKeyDownBit : 0; }

private:
    std::unique_ptr<KeyReader> reader_;
    KeyState keyState_{};
};

}  // namespace kestrane
