// login_window.h -- the login dialog on screen: a small Dear ImGui window over LoginDialog.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "client/app/lan_browser.h"
#include "client/app/login_dialog.h"
#include "platform/ui/imgui_window.h"

union SDL_Event;

namespace kestrane {

// The dialog's classic layout at two pixels per dialog unit: the Server IP label and field,
// the Player Name label and field, CONNECT and Exit side by side at the bottom; to their
// right the games found on the LAN.
struct LoginLayout {
    static constexpr int kFormWidth = 238;
    static constexpr int kWidth = 670;
    static constexpr int kHeight = 212;

    UiRect serverLabel{0, 26, kFormWidth, 16};
    UiRect serverField{50, 50, 138, 28};
    UiRect nameLabel{0, 90, kFormWidth, 16};
    UiRect nameField{62, 114, 114, 28};
    UiRect connectButton{14, 170, 100, 28};
    UiRect exitButton{124, 170, 100, 28};
    UiRect lanLabel{kFormWidth, 26, 420, 16};
    UiRect lanList{kFormWidth, 50, 420, 148};
    static constexpr float kLanRowHeight = 24;  // each row of the list, the heading's included

    // Where row `row` (0: the first server) of the LAN list sits.
    UiRect lanRow(int row) const {
        return {lanList.x, lanList.y + kLanRowHeight * static_cast<float>(row + 1), lanList.width, kLanRowHeight};
    }
};

// How the dialog ended.
enum class LoginResult {
    Connected,  // the connection completed: the game starts
    Exit,       // Exit pressed, or the network could not start
    Quit,       // the program was asked to end (SIGINT or SIGTERM)
};

// The window titled "Kestrane Client". It shows the fields and buttons, forwards the
// player's typing and presses to the LoginDialog and, while a connection attempt runs,
// asks the dialog to check it. The close box and Escape do nothing; Enter in a field
// presses CONNECT. With a LAN browser it lists the games found: a click on one fills in
// the Server IP field, a double click also presses CONNECT. Main thread only.
class LoginWindow {
public:
    // `browser`, when given, must have been opened and outlive the window.
    explicit LoginWindow(LoginDialog& dialog, LanBrowser* browser = nullptr) : dialog_(dialog), browser_(browser) {}

    // Opens the window with the dialog's field contents. False when no display can be opened.
    bool open();
    void close() { window_.close(); }

    // Waits at most `waitMs` for a window event, handles every event that waits, draws one
    // frame and acts on the buttons pressed in it; then checks a running connection attempt.
    void update(int waitMs);
    bool quitRequested() const { return quitRequested_; }

    // The fields as they show now (UTF-8).
    std::string serverFieldText() const { return serverText_.data(); }
    std::string nameFieldText() const { return nameText_.data(); }

    bool saveScreenshot(const std::string& path) { return window_.saveScreenshot(path); }
    ImGuiWindow& window() { return window_; }
    std::uint64_t framesDrawn() const { return framesDrawn_; }
    static LoginLayout layout() { return {}; }

private:
    // Draws a frame; true when CONNECT was pressed (button, Enter or a double click on a
    // listed game), and sets exitPressed.
    bool drawFrame(bool& exitPressed);
    // The LAN list; true on a double click.
    bool drawLanList(const LoginLayout& layout);
    // Waits at most `waitMs` for a window event, taking in LAN answers the moment they
    // come (so their round trip is measured right); true with `event` filled when one came.
    bool waitForEvent(SDL_Event& event, int waitMs);

    LoginDialog& dialog_;
    LanBrowser* browser_;
    std::string selectedServer_;  // the listed game last clicked, as its field text
    ImGuiWindow window_;
    std::array<char, 256> serverText_{};
    std::array<char, 256> nameText_{};
    bool focusPlaced_ = false;
    bool quitRequested_ = false;
    std::uint64_t framesDrawn_ = 0;
};

// Runs the dialog modally until it ends. The dialog must have been opened (LoginDialog::open).
LoginResult runLoginDialog(LoginDialog& dialog, LoginWindow& window);

}  // namespace kestrane
