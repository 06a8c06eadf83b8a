// login_window.h -- the login dialog on screen: a small Dear ImGui window over LoginDialog.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "client/app/login_dialog.h"
#include "platform/ui/imgui_window.h"

namespace kestrane {

// The dialog's classic layout at two pixels per dialog unit: the Server IP label and field,
// the Player Name label and field, CONNECT and Exit side by side at the bottom.
struct LoginLayout {
    static constexpr int kWidth = 238;
    static constexpr int kHeight = 212;

    UiRect serverLabel{0, 26, kWidth, 16};
    UiRect serverField{50, 50, 138, 28};
    UiRect nameLabel{0, 90, kWidth, 16};
    UiRect nameField{62, 114, 114, 28};
    UiRect connectButton{14, 170, 100, 28};
    UiRect exitButton{124, 170, 100, 28};
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
// presses CONNECT. Main thread only.
class LoginWindow {
public:
    explicit LoginWindow(LoginDialog& dialog) : dialog_(dialog) {}

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
    // Draws a frame; true when CONNECT was pressed (button or Enter), and sets exitPressed.
    bool drawFrame(bool& exitPressed);

    LoginDialog& dialog_;
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
