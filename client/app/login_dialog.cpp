// login_dialog.cpp -- the login dialog's decisions.
#include "client/app/login_dialog.h"

#include "platform/message_box.h"
#include "platform/text_encoding.h"

namespace kestrane {

LoginDialog::LoginDialog(ClientSession& session) : session_(session) {}

bool LoginDialog::open() {
    if (!session_.startNetwork()) {
        session_.stopNetwork();
        outcome_ = Outcome::Closed;
        return false;
    }
    playerName = cp949ToUtf8(nameText(session_.playerName()));
    return true;
}

void LoginDialog::pressConnect() {
    if (connecting_ || outcome_ != Outcome::Open) {
        return;
    }
    session_.setPlayerName(utf8ToCp949(playerName));
    if (nameText(session_.playerName()).empty()) {
        showMessageBox(kMessageCaption, kNameMissingText);
        return;
    }
    connecting_ = session_.connectToServer(serverIp);
}

void LoginDialog::pressExit() {
    session_.stopNetwork();
    connecting_ = false;
    outcome_ = Outcome::Closed;
}

void LoginDialog::checkConnect(int timeoutMs) {
    if (!connecting_ || outcome_ != Outcome::Open) {
        return;
    }
    switch (session_.pollConnection(timeoutMs)) {
        case ConnectStatus::InProgress:
            break;
        case ConnectStatus::Connected:
            connecting_ = false;
            outcome_ = Outcome::Connected;
            break;
        case ConnectStatus::Failed:
            connecting_ = false;
            break;
    }
}

}  // namespace kestrane
