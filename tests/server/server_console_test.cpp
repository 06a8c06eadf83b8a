// The console window under SDL's offscreen driver: Exit is the only way out, Clear, and a
// screenshot of a running server with players for a look by eye.
#include <gtest/gtest.h>

#include <SDL.h>

#include <filesystem>

#include "platform/text_encoding.h"
#include "server/server_console.h"
#include "server/server_texts.h"
#include "test_client.h"

namespace kestrane::testing {
namespace {

// Updates the console for `duration`; Exit if it said so.
ConsoleCommand pump(ServerConsole& console, std::chrono::milliseconds duration = 120ms) {
    const auto until = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < until) {
        if (console.update() == ConsoleCommand::Exit) {
            return ConsoleCommand::Exit;
        }
        std::this_thread::sleep_for(4ms);
    }
    return ConsoleCommand::None;
}

ConsoleCommand click(ServerConsole& console, const UiRect& button) {
    const int x = static_cast<int>(button.centreX());
    const int y = static_cast<int>(button.centreY());
    SDL_Event move{};
    move.type = SDL_MOUSEMOTION;
    move.motion.windowID = console.window().windowId();
    move.motion.x = x;
    move.motion.y = y;
    SDL_PushEvent(&move);
    pump(console, 40ms);  // hover first, as a real pointer would
    SDL_Event press{};
    press.type = SDL_MOUSEBUTTONDOWN;
    press.button.windowID = console.window().windowId();
    press.button.button = SDL_BUTTON_LEFT;
    press.button.state = SDL_PRESSED;
    press.button.x = x;
    press.button.y = y;
    SDL_PushEvent(&press);
    return pump(console);
}

void pushEvent(Uint32 type, ServerConsole& console, SDL_Keycode key = 0) {
    SDL_Event event{};
    event.type = type;
    if (type == SDL_WINDOWEVENT) {
        event.window.windowID = console.window().windowId();
        event.window.event = SDL_WINDOWEVENT_CLOSE;
    } else if (type == SDL_KEYDOWN) {
        event.key.windowID = console.window().windowId();
        event.key.keysym.sym = key;
        event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
        event.key.state = SDL_PRESSED;
    }
    SDL_PushEvent(&event);
}

class ServerConsoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(console.open());
        console.show();
        log.logLine(server_text::kStartLine);
    }
    ServerLog log;
    ServerStatus status;
    ServerConsole console{log, status};
};

TEST_F(ServerConsoleTest, CloseBoxEscapeAndQuitDoNothingExitEnds) {
    pushEvent(SDL_WINDOWEVENT, console);
    pushEvent(SDL_KEYDOWN, console, SDLK_ESCAPE);
    pushEvent(SDL_QUIT, console);
    EXPECT_EQ(pump(console), ConsoleCommand::None);
    EXPECT_TRUE(console.isOpen());
    EXPECT_EQ(click(console, ServerConsole::layout().exitButton), ConsoleCommand::Exit);
}

TEST_F(ServerConsoleTest, ClearEmptiesTheLogAndLaterLinesStartAgain) {
    log.logLine("second");
    pump(console, 40ms);
    EXPECT_EQ(click(console, ServerConsole::layout().clearButton), ConsoleCommand::None);
    EXPECT_TRUE(log.lines().empty());
    log.logLine("after");
    EXPECT_EQ(log.lines(), std::vector<std::string>{"after"});
}

TEST_F(ServerConsoleTest, IdleWindowIsNotRedrawn) {
    std::uint64_t frames = 0;
    for (int settle = 0; settle < 50 && (frames == 0 || frames != console.framesDrawn()); ++settle) {
        frames = console.framesDrawn();  // the first frames (building the font) may be slow
        pump(console, 100ms);
    }
    pump(console, 200ms);
    EXPECT_EQ(console.framesDrawn(), frames);
    log.logLine("news");
    pump(console, 60ms);
    EXPECT_GT(console.framesDrawn(), frames);
}

using ServerConsoleScreenshot = ServerFixture;

TEST_F(ServerConsoleScreenshot, RunningServerWithPlayers) {
    ServerConsole console(server->log(), server->status());
    ASSERT_TRUE(console.open());
    server->status().setAddress("IP : 192.168.0.17");  // a stable picture, whatever this machine is
    console.show();
    auto clients = connectClients(4);
    clients[0]->sendJoin("Kim");
    clients[1]->sendJoin(utf8ToCp949("김철수"));
    clients[2]->sendJoin("abcdefghijklmnopqrst");
    clients[3]->send(makePacket(4, MsgType::Leave));
    clients[1]->send(makePacket(2, MsgType::Tick));
    ASSERT_TRUE(eventually([&] { return server->log().size() == 10; }));
    pump(console, 150ms);
    const std::string path = "server_console.png";
    std::filesystem::remove(path);
    ASSERT_TRUE(console.saveScreenshot(path));
    EXPECT_GT(std::filesystem::file_size(path), 1000u);
}

}  // namespace
}  // namespace kestrane::testing
