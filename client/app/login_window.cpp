// login_window.cpp -- drawing the login dialog with Dear ImGui and turning presses into decisions.
#include "client/app/login_window.h"

#include <SDL.h>
#include <imgui.h>

#include <algorithm>
#include <cstring>

#include "client/app/main_window.h"

namespace kestrane {

namespace {

// While a connection attempt runs the window looks at it this often; otherwise it redraws
// at least this often for the caret.
constexpr int kConnectingWaitMs = 16;
constexpr int kIdleWaitMs = 50;

void place(const UiRect& rect) { ImGui::SetCursorPos(ImVec2(rect.x, rect.y)); }

void centredLabel(const UiRect& rect, const char* text) {
    const float width = ImGui::CalcTextSize(text).x;
    ImGui::SetCursorPos(ImVec2(rect.x + (rect.width - width) / 2, rect.y));
    ImGui::TextUnformatted(text);
}

void copyInto(std::array<char, 256>& buffer, const std::string& text) {
    buffer.fill('\0');
    std::memcpy(buffer.data(), text.data(), std::min(text.size(), buffer.size() - 1));
}

bool isEscape(const SDL_Event& event) {
    return (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) && event.key.keysym.sym == SDLK_ESCAPE;
}

}  // namespace

bool LoginWindow::open() {
    if (!window_.open(std::string(kLoginTitle), LoginLayout::kWidth, LoginLayout::kHeight)) {
        return false;
    }
    setWindowIcon(window_.window());
    window_.makeCurrent();
    useClassicDialogStyle(6);
    copyInto(serverText_, dialog_.serverIp);
    copyInto(nameText_, dialog_.playerName);
    focusPlaced_ = false;
    return true;
}

void LoginWindow::update(int waitMs) {
    SDL_Event event;
    bool have = SDL_WaitEventTimeout(&event, std::max(waitMs, 1)) != 0;
    while (have) {
        if (event.type == SDL_QUIT) {
            quitRequested_ = true;
        } else if (isEscape(event)) {
            // Escape neither closes the dialog nor undoes the typing in a field.
        } else {
            // The close box arrives as a window event, which the dialog ignores.
            window_.processEvent(event);
        }
        have = SDL_PollEvent(&event) != 0;
    }
    if (quitRequested_ || !window_.isOpen()) {
        return;
    }

    bool exitPressed = false;
    const bool connectPressed = drawFrame(exitPressed);
    if (exitPressed) {
        dialog_.pressExit();
    } else if (connectPressed) {
        dialog_.serverIp = serverText_.data();
        dialog_.playerName = nameText_.data();
        dialog_.pressConnect();
    }
    dialog_.poll(0);
}

bool LoginWindow::drawFrame(bool& exitPressed) {
    ++framesDrawn_;
    const LoginLayout layout;
    window_.beginFrame();
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
    ImGui::Begin("##login", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings |
                     ImGuiWindowFlags_NoBringToFrontOnFocus);

    bool connectPressed = false;
    const bool enabled = dialog_.controlsEnabled();
    ImGui::BeginDisabled(!enabled);
    centredLabel(layout.serverLabel, "Server IP");
    place(layout.serverField);
    ImGui::SetNextItemWidth(layout.serverField.width);
    if (!focusPlaced_) {
        ImGui::SetKeyboardFocusHere();
        focusPlaced_ = true;
    }
    connectPressed |= ImGui::InputText("##server", serverText_.data(), serverText_.size(),
                                       ImGuiInputTextFlags_EnterReturnsTrue);
    centredLabel(layout.nameLabel, "Player Name");
    place(layout.nameField);
    ImGui::SetNextItemWidth(layout.nameField.width);
    connectPressed |= ImGui::InputText("##name", nameText_.data(), nameText_.size(),
                                       ImGuiInputTextFlags_EnterReturnsTrue);
    place(layout.connectButton);
    connectPressed |= ImGui::Button("CONNECT", ImVec2(layout.connectButton.width, layout.connectButton.height));
    ImGui::EndDisabled();

    place(layout.exitButton);
    exitPressed = ImGui::Button("Exit", ImVec2(layout.exitButton.width, layout.exitButton.height));

    ImGui::End();
    window_.endFrame();
    return connectPressed && enabled;
}

LoginResult runLoginDialog(LoginDialog& dialog, LoginWindow& window) {
    while (dialog.outcome() == LoginDialog::Outcome::Open && !window.quitRequested()) {
        window.update(dialog.controlsEnabled() ? kIdleWaitMs : kConnectingWaitMs);
    }
    if (window.quitRequested()) {
        dialog.pressExit();  // even a connection that just completed is given up
        return LoginResult::Quit;
    }
    return dialog.outcome() == LoginDialog::Outcome::Connected ? LoginResult::Connected : LoginResult::Exit;
}

}  // namespace kestrane
