// The key snapshot: key codes, the down bit, the scancode table and focus.
#include <gtest/gtest.h>

#include <SDL.h>

#include "client/media/keyboard.h"
#include "platform/message_box.h"

namespace kestrane {
namespace {

TEST(KeyboardDevice, ReadsBitSevenOfTheLowByteOfTheKeyCode) {
    KeyboardDevice keyboard;
    for (int code = 0; code < 512; ++code) {
        EXPECT_EQ(keyboard.isKeyDown(code), 0) << "every key is up before the first snapshot";
    }
    KeyState state{};
    state[kKeySpace] = 0x80;
    state[kKeyUp] = 0x7F;
    state[kKeyF10] = 0xFF;
    keyboard.setKeyState(state);
    keyboard.readKeys();  // no device: the snapshot stays
    EXPECT_EQ(keyboard.isKeyDown(0x39), 1);
    EXPECT_EQ(keyboard.isKeyDown(0x139), keyboard.isKeyDown(0x39));
    EXPECT_EQ(keyboard.isKeyDown(0xC8), 0);
    EXPECT_EQ(keyboard.isKeyDown(0x44), 1);
    EXPECT_EQ(keyboard.isKeyDown(0x38), 0);
    keyboard.setKeyDown(0x139, false);
    EXPECT_EQ(keyboard.isKeyDown(kKeySpace), 0);
}

TEST(KeyboardDevice, GameKeysMapFromTheirScancodes) {
    const std::vector<std::pair<SDL_Scancode, int>> gameKeys{
        {SDL_SCANCODE_LALT, 0x38}, {SDL_SCANCODE_SPACE, 0x39}, {SDL_SCANCODE_F1, 0x3B},  {SDL_SCANCODE_F10, 0x44},
        {SDL_SCANCODE_UP, 0xC8},   {SDL_SCANCODE_LEFT, 0xCB},  {SDL_SCANCODE_RIGHT, 0xCD}, {SDL_SCANCODE_DOWN, 0xD0},
        {SDL_SCANCODE_RETURN, 0x1C}, {SDL_SCANCODE_ESCAPE, 0x01}, {SDL_SCANCODE_RALT, 0xB8}, {SDL_SCANCODE_A, 0x1E}};
    for (const auto& [scancode, code] : gameKeys) {
        EXPECT_EQ(keyCodeForScancode(scancode), code) << SDL_GetScancodeName(scancode);
    }
    EXPECT_EQ(keyCodeForScancode(SDL_SCANCODE_UNKNOWN), 0);

    std::vector<std::uint8_t> sdlState(SDL_NUM_SCANCODES, 0);
    sdlState[SDL_SCANCODE_SPACE] = 1;
    sdlState[SDL_SCANCODE_DOWN] = 1;
    const KeyState state = keyStateFromScancodes(sdlState);
    int down = 0;
    for (const std::uint8_t byte : state) {
        down += byte != 0;
    }
    EXPECT_EQ(down, 2);
    EXPECT_EQ(state[kKeySpace], 0x80);
    EXPECT_EQ(state[kKeyDown], 0x80);
    EXPECT_EQ(keyStateFromScancodes(std::span(sdlState).first(10))[kKeySpace], 0) << "a short state array is not overrun";
}

TEST(KeyboardDevice, SetUpFailuresAreShownWithTheFailedCaption) {
    MessageBoxCapture messages;
    InputSystem input;
    KeyboardDevice keyboard;
    EXPECT_EQ(keyboard.create(nullptr, input), kInputFail);
    ASSERT_EQ(input.create(nullptr), kInputOk);
    EXPECT_EQ(input.create(nullptr), kInputFail);
    EXPECT_TRUE(input.created()) << "the first object stays in use";
    EXPECT_EQ(keyboard.create(nullptr, input), kInputFail);
    EXPECT_FALSE(keyboard.created());
    using Shown = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(messages.shown(), (Shown{{"FAILED", "CreateDeviceEx FAILED"},
                                       {"FAILED", "이미 오브젝트 생성했슴"},
                                       {"FAILED", "SetCooperativeLevel FAILED"}}));
}

TEST(KeyboardDevice, KeysReadUpWhileTheWindowHasNoFocus) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("keys", 0, 0, 80, 60, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    {
        InputSystem input;
        ASSERT_EQ(input.create(window), kInputOk);
        KeyboardDevice keyboard;
        ASSERT_EQ(keyboard.create(window, input), kInputOk);
        KeyState held{};
        held[kKeyUp] = 0x80;
        keyboard.setKeyState(held);
        keyboard.readKeys();
        EXPECT_EQ(keyboard.isKeyDown(kKeyUp), 0) << "a hidden window never has the keyboard";
    }
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
}  // namespace kestrane
