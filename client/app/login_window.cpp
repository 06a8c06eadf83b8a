// login_window.cpp -- drawing the login dialog with Dear ImGui and turning presses into decisions.
#include "client/app/login_window.h"

#include <SDL.h>
#include <imgui.h>

#include <algorithm>
#include <cstring>

#include "client/app/main_window.h"
#include "common/frame_timer.h"

namespace kestrane {

namespace {

// While a connection attempt runs the window looks at it this often; otherwise it redraws
// at least this often for the caret.
constexpr int kConnectingWaitMs = 16;
constexpr int kIdleWaitMs = 50;
// While waiting for window events, the LAN answers are looked at this often at the latest.
constexpr int kAnswerSliceMs = 8;

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

bool LoginWindow::waitForEvent(SDL_Event& event, int waitMs) {
    if (browser_ == nullptr) {
        return SDL_WaitEventTimeout(&event, std::max(waitMs, 1)) != 0;
    }
    const double until = secondsSinceStart() + waitMs / 1000.0;
    for (;;) {
        browser_->update(secondsSinceStart());
        if (SDL_PollEvent(&event) != 0) {
            return true;
        }
        const double left = until - secondsSinceStart();
        if (left <= 0) {
            return false;
        }
        browser_->waitForAnswer(std::clamp(static_cast<int>(left * 1000), 1, kAnswerSliceMs));
    }
}

void LoginWindow::update(int waitMs) {
    SDL_Event event;
    bool have = waitForEvent(event, waitMs);
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
    dialog_.checkConnect(0);
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
    if (browser_ != nullptr) {
        connectPressed |= drawLanList(layout);
    }
    ImGui::EndDisabled();

    place(layout.exitButton);
    exitPressed = ImGui::Button("Exit", ImVec2(layout.exitButton.width, layout.exitButton.height));

    ImGui::End();
    window_.endFrame();
    return connectPressed && enabled;
}

bool LoginWindow::drawLanList(const LoginLayout& layout) {
    centredLabel(layout.lanLabel, "LAN");
    place(layout.lanList);
    const ImGuiTableFlags flags = ImGuiTableFlags_ScrollY | ImGuiTableFlags_BordersOuter | ImGuiTableFlags_RowBg;
    if (!ImGui::BeginTable("##lan", 4, flags, ImVec2(layout.lanList.width, layout.lanList.height))) {
        return false;
    }
    ImGui::TableSetupScrollFreeze(0, 1);
    ImGui::TableSetupColumn("Name", ImGuiTableColumnFlags_WidthStretch);
    ImGui::TableSetupColumn("Players", ImGuiTableColumnFlags_WidthFixed, 64);
    ImGui::TableSetupColumn("Address", ImGuiTableColumnFlags_WidthFixed, 168);
    ImGui::TableSetupColumn("Ping", ImGuiTableColumnFlags_WidthFixed, 64);
    ImGui::TableNextRow(ImGuiTableRowFlags_Headers, LoginLayout::kLanRowHeight);
    for (int column = 0; column < 4; ++column) {
        ImGui::TableSetColumnIndex(column);
        ImGui::TextUnformatted(ImGui::TableGetColumnName(column));
    }

    bool doubleClicked = false;
    const ImU32 textColour = ImGui::GetColorU32(ImGuiCol_Text);
    const std::vector<LanServer>& servers = browser_->servers();
    for (std::size_t i = 0; i < servers.size(); ++i) {
        const LanServer& server = servers[i];
        const std::string field = kestrane::serverFieldText(server);
        const std::string address = server.game.address.toString() + ":" + std::to_string(server.game.port);
        const std::string players = std::to_string(server.players) + "/" + std::to_string(server.limit);
        ImGui::TableNextRow(ImGuiTableRowFlags_None, LoginLayout::kLanRowHeight);
        ImGui::TableNextColumn();
        ImGui::PushID(static_cast<int>(i));
        const ImGuiSelectableFlags selectFlags =
            ImGuiSelectableFlags_SpanAllColumns | ImGuiSelectableFlags_AllowDoubleClick;
        if (ImGui::Selectable("##server", selectedServer_ == field, selectFlags,
                              ImVec2(0, LoginLayout::kLanRowHeight - ImGui::GetStyle().CellPadding.y * 2))) {
            selectedServer_ = field;
            copyInto(serverText_, field);
            doubleClicked |= ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left);
        }
        ImGui::PopID();
        // Drawn as plain text: a name may hold characters ImGui labels treat specially.
        const ImVec2 at(ImGui::GetItemRectMin().x + ImGui::GetStyle().CellPadding.x, ImGui::GetItemRectMin().y);
        ImGui::GetWindowDrawList()->AddText(at, textColour, server.name.data(), server.name.data() + server.name.size());
        ImGui::TableNextColumn();
        ImGui::TextUnformatted(players.c_str());
        ImGui::TableNextColumn();
        ImGui::TextUnformatted(address.c_str());
        ImGui::TableNextColumn();
        ImGui::TextUnformatted(roundTripText(server.roundTripSeconds).c_str());
    }
    ImGui::EndTable();
    return doubleClicked;
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
