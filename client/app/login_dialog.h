// login_dialog.h -- what the login dialog decides, apart from how it is drawn.
#pragma once

#include <string>
#include <string_view>

#include "client/net/client_session.h"

namespace kestrane {

inline constexpr std::string_view kLoginTitle = "Kestrane Client";
inline constexpr std::string_view kNameMissingText = "Write Your Player Name";
inline constexpr std::string_view kProgramEndingText = "프로그램을 종료합니다.";

// The dialog's state and its answers to the player's actions. The window that shows it
// (an ImGui front end) renders the fields and buttons and forwards presses here; tests
// drive it directly. All calls on the main thread.
class LoginDialog {
public:
    enum class Outcome {
        Open,       // still asking
        Connected,  // the connection completed: start the game
        Closed,     // Exit pressed or the network could not start: the program ends
    };

    explicit LoginDialog(ClientSession& session);

    // The dialog opens: starts the network and shows the session's name in the name field.
    // False (and Closed) when the network cannot start.
    bool open();

    // CONNECT: takes the name field (UTF-8) as the player's name, cut to 20 bytes of code
    // page 949; an empty name shows "Write Your Player Name" and changes nothing else.
    // Otherwise starts connecting to the Server IP field; while the attempt runs the fields
    // and the button are disabled.
    void pressConnect();
    // Exit: closes the network and ends the dialog.
    void pressExit();
    // Checks, at most `timeoutMs`, whether the attempt has completed. A refused or failed
    // attempt shows "Socket Connect Error" and re-enables the controls.
    void checkConnect(int timeoutMs = 0);

    // Field contents as typed (UTF-8).
    std::string serverIp;
    std::string playerName;

    bool controlsEnabled() const { return !connecting_; }
    Outcome outcome() const { return outcome_; }

private:
    ClientSession& session_;
    bool connecting_ = false;
    Outcome outcome_ = Outcome::Open;
};

}  // namespace kestrane
