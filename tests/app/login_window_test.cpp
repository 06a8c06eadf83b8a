// The login dialog's window under SDL's offscreen driver: typing, Enter and CONNECT, the
// controls that do nothing, Exit, a quit signal, and a screenshot for a look by eye.
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "client/app/login_window.h"
#include "lan_servers.h"
#include "platform/message_box.h"

namespace kestrane {
namespace {

using namespace std::chrono_literals;

class LoginWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        listener = TcpSocket::openStream();
        ASSERT_TRUE(listener.bindAndListen(0, 5, Ipv4Address::loopback()));
        ASSERT_TRUE(dialog.open());
        ASSERT_TRUE(lanBrowser.open());
    }
    void openWindow() {
        ASSERT_TRUE(window.open()) << SDL_GetError();
        // The first frames build the font and place the focus.
        while (window.framesDrawn() < 4) {
            window.update(1);
        }
    }
    std::string serverAddress() const { return "127.0.0.1:" + std::to_string(listener.localPort()); }

    void pump(std::chrono::milliseconds duration) {
        const auto until = std::chrono::steady_clock::now() + duration;
        while (std::chrono::steady_clock::now() < until && dialog.outcome() == LoginDialog::Outcome::Open) {
            window.update(4);
        }
    }
    void push(SDL_Event event) {
        ASSERT_EQ(SDL_PushEvent(&event), 1);
        pump(30ms);
    }
    void key(SDL_Keycode code) {
        SDL_Event event{};
        event.key.windowID = window.window().windowId();
        event.key.keysym.sym = code;
        event.key.keysym.scancode = SDL_GetScancodeFromKey(code);
        event.type = SDL_KEYDOWN;
        event.key.state = SDL_PRESSED;
        push(event);
        event.type = SDL_KEYUP;
        event.key.state = SDL_RELEASED;
        push(event);
    }
    void type(const std::string& text) {
        SDL_Event event{};
        event.type = SDL_TEXTINPUT;
        event.text.windowID = window.window().windowId();
        text.copy(event.text.text, sizeof event.text.text - 1);
        push(event);
    }
    void click(const UiRect& button) {
        SDL_Event event{};
        event.type = SDL_MOUSEMOTION;
        event.motion.windowID = window.window().windowId();
        event.motion.x = static_cast<int>(button.centreX());
        event.motion.y = static_cast<int>(button.centreY());
        push(event);  // hover first, as a real pointer would
        event = SDL_Event{};
        event.type = SDL_MOUSEBUTTONDOWN;
        event.button.windowID = window.window().windowId();
        event.button.button = SDL_BUTTON_LEFT;
        event.button.state = SDL_PRESSED;
        event.button.x = static_cast<int>(button.centreX());
        event.button.y = static_cast<int>(button.centreY());
        push(event);
        pump(40ms);
    }

    MessageBoxCapture boxes;
    TcpSocket listener;
    ClientSession session;
    LoginDialog dialog{session};
    std::vector<Endpoint> lanTargets;  // none unless a test asks servers of its own
    LanBrowser lanBrowser{[this] { return lanTargets; }};
    LoginWindow window{dialog, &lanBrowser};
};

TEST_F(LoginWindowTest, TypedAddressAndEnterConnect) {
    dialog.playerName = "Lee";
    openWindow();
    type(serverAddress());  // the Server IP field has the keyboard from the start
    key(SDLK_RETURN);       // Enter in a field presses CONNECT
    pump(2s);
    EXPECT_EQ(dialog.outcome(), LoginDialog::Outcome::Connected);
    EXPECT_EQ(dialog.serverIp, serverAddress());
    EXPECT_EQ(nameText(session.playerName()), "Lee");
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(LoginWindowTest, ConnectButtonUsesBothFieldsAndAnEmptyNameAsksForOne) {
    dialog.serverIp = serverAddress();
    dialog.playerName = "";
    openWindow();
    click(LoginWindow::layout().connectButton);
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"Write Your Player Name"});
    EXPECT_EQ(dialog.outcome(), LoginDialog::Outcome::Open);
    EXPECT_TRUE(dialog.controlsEnabled());

    click(LoginWindow::layout().nameField);
    type("박지성");
    click(LoginWindow::layout().connectButton);
    pump(2s);
    EXPECT_EQ(dialog.outcome(), LoginDialog::Outcome::Connected);
    EXPECT_EQ(nameText(session.playerName()), "\xB9\xDA\xC1\xF6\xBC\xBA");  // code page 949
}

TEST_F(LoginWindowTest, CloseBoxAndEscapeDoNothingExitEnds) {
    openWindow();
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.windowID = window.window().windowId();
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    push(close);
    type("10.1.2.3");
    key(SDLK_ESCAPE);  // would undo the typing in an ImGui field
    pump(50ms);
    EXPECT_EQ(dialog.outcome(), LoginDialog::Outcome::Open);
    EXPECT_TRUE(window.window().isOpen());
    EXPECT_FALSE(window.quitRequested());
    EXPECT_EQ(window.serverFieldText(), "10.1.2.3");
    EXPECT_EQ(window.nameFieldText(), "이름");

    click(LoginWindow::layout().exitButton);
    EXPECT_EQ(dialog.outcome(), LoginDialog::Outcome::Closed);
    EXPECT_EQ(runLoginDialog(dialog, window), LoginResult::Exit);
    EXPECT_FALSE(session.socket().valid());
}

TEST_F(LoginWindowTest, QuitSignalEndsTheDialogQuietly) {
    openWindow();
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);
    EXPECT_EQ(runLoginDialog(dialog, window), LoginResult::Quit);
    EXPECT_FALSE(session.socket().valid());
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(LoginWindowTest, LanListFillsTheServerFieldAndADoubleClickConnects) {
    testing::RunningServer east("East Hall", 0);
    testing::RunningServer west("West Hall", 0);
    ASSERT_TRUE(east.started() && west.started());
    lanTargets = {east.statusEndpoint(), west.statusEndpoint()};
    dialog.playerName = "Lee";
    openWindow();
    const auto until = std::chrono::steady_clock::now() + 3s;
    while (lanBrowser.servers().size() < 2 && std::chrono::steady_clock::now() < until) {
        window.update(10);
    }
    ASSERT_EQ(lanBrowser.servers().size(), 2u);
    pump(100ms);
    const std::string path = "login_dialog_lan.png";
    std::filesystem::remove(path);
    ASSERT_TRUE(window.saveScreenshot(path));

    const std::string eastAddress = "127.0.0.1:" + std::to_string(east.server().port());
    const std::string westAddress = "127.0.0.1:" + std::to_string(west.server().port());
    click(LoginWindow::layout().lanRow(1));
    EXPECT_EQ(window.serverFieldText(), westAddress);
    EXPECT_EQ(dialog.outcome(), LoginDialog::Outcome::Open);
    click(LoginWindow::layout().lanRow(0));
    EXPECT_EQ(window.serverFieldText(), eastAddress);
    EXPECT_EQ(dialog.outcome(), LoginDialog::Outcome::Open);
    EXPECT_EQ(east.server().status().snapshot().playerCount, "0");

    click(LoginWindow::layout().lanRow(0));  // the second click of a double click
    pump(2s);
    EXPECT_EQ(dialog.outcome(), LoginDialog::Outcome::Connected);
    EXPECT_EQ(dialog.serverIp, eastAddress);
    const auto accepted = std::chrono::steady_clock::now() + 2s;  // the server takes it in its own time
    while (east.server().status().snapshot().playerCount != "1" && std::chrono::steady_clock::now() < accepted) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(east.server().status().snapshot().playerCount, "1");
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(LoginWindowTest, Screenshot) {
    dialog.serverIp = "192.168.0.17";
    openWindow();
    pump(100ms);
    const std::string path = "login_dialog.png";
    std::filesystem::remove(path);
    ASSERT_TRUE(window.saveScreenshot(path));
    EXPECT_GT(std::filesystem::file_size(path), 1000u);
}

}  // namespace
}  // namespace kestrane
