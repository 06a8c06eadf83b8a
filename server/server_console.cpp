// server_console.cpp -- drawing the console with Dear ImGui and deciding when to draw.
#include "server/server_console.h"

#include <SDL.h>
#include <imgui.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <deque>

#include "server/server_texts.h"

namespace kestrane {

namespace {

// Frames are drawn only when something changed or the operator is using the window, and
// then at most this often.
constexpr auto kFrameInterval = std::chrono::milliseconds(16);
// Longest wait on the network between looks at the window's events.
constexpr int kIdlePollMs = 16;
// Frames to draw after input: ImGui sees a click on the frame after the button goes up.
constexpr int kFramesAfterInput = 3;
// Frames to draw after new content: the second one applies the scroll to the newest line.
constexpr int kFramesAfterChange = 2;

void placeCursor(const UiRect& rect) { ImGui::SetCursorPos(ImVec2(rect.x, rect.y)); }

void readOnlyField(const char* id, const UiRect& rect, const std::string& text) {
    std::array<char, 80> buffer{};  // the longest text is a server name of 64 bytes
    std::snprintf(buffer.data(), buffer.size(), "%s", text.c_str());
    placeCursor(rect);
    ImGui::SetNextItemWidth(rect.width);
    ImGui::InputText(id, buffer.data(), buffer.size(), ImGuiInputTextFlags_ReadOnly);
}

}  // namespace

bool ServerConsole::open() {
    if (!window_.open(std::string(server_text::kWindowTitle), ConsoleLayout::kWidth, ConsoleLayout::kHeight,
                      /*visible=*/false)) {
        return false;
    }
    window_.makeCurrent();
    useClassicDialogStyle(4);
    framesWanted_ = kFramesAfterChange;
    return true;
}

ConsoleCommand ServerConsole::update() {
    if (!window_.isOpen()) {
        return ConsoleCommand::None;
    }
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        // The close box (a window close event) and SDL_QUIT are not commands: Exit is the
        // only way out, and signals reach the program through its own handlers.
        if (window_.processEvent(event) || event.type == SDL_WINDOWEVENT) {
            framesWanted_ = std::max(framesWanted_, kFramesAfterInput);
        }
    }
    if (log_.revision() != seenLogRevision_ || status_.revision() != seenStatusRevision_) {
        framesWanted_ = std::max(framesWanted_, kFramesAfterChange);
    }
    if (framesWanted_ == 0 || std::chrono::steady_clock::now() - lastFrame_ < kFrameInterval) {
        return ConsoleCommand::None;
    }
    --framesWanted_;
    return drawFrame() ? ConsoleCommand::Exit : ConsoleCommand::None;
}

void ServerConsole::redraw() {
    if (window_.isOpen()) {
        drawFrame();
    }
}

int ServerConsole::pollTimeoutMs() const {
    if (framesWanted_ == 0) {
        return kIdlePollMs;
    }
    const auto sinceFrame = std::chrono::steady_clock::now() - lastFrame_;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(kFrameInterval - sinceFrame).count();
    return static_cast<int>(std::clamp<long long>(left, 0, kIdlePollMs));
}

bool ServerConsole::drawFrame() {
    lastFrame_ = std::chrono::steady_clock::now();
    ++framesDrawn_;
    const ConsoleLayout layout;
    const ServerStatus::Snapshot shown = status_.snapshot();
    seenStatusRevision_ = shown.revision;

    window_.beginFrame();
    const ImGuiIO& io = ImGui::GetIO();
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(io.DisplaySize);
    ImGui::Begin("##console", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings |
                     ImGuiWindowFlags_NoBringToFrontOnFocus);

    placeCursor(layout.stateLabel);
    ImGui::TextUnformatted("State");
    readOnlyField("##name", layout.nameField, shown.serverName);
    readOnlyField("##address", layout.addressField, shown.address);
    drawLog(layout.logList);
    placeCursor(layout.clearButton);
    if (ImGui::Button("Clear", ImVec2(layout.clearButton.width, layout.clearButton.height))) {
        log_.clear();
        framesWanted_ = std::max(framesWanted_, kFramesAfterChange);
    }

    placeCursor(layout.playerLabel);
    ImGui::TextUnformatted("Player");
    readOnlyField("##count", layout.countField, shown.playerCount);
    drawPlayers(layout.playerList, shown);
    placeCursor(layout.exitButton);
    const bool exitPressed = ImGui::Button("Exit", ImVec2(layout.exitButton.width, layout.exitButton.height));

    ImGui::End();
    window_.endFrame();
    return exitPressed;
}

void ServerConsole::drawLog(const UiRect& area) {
    placeCursor(area);
    if (!ImGui::BeginListBox("##state", ImVec2(area.width, area.height))) {
        return;
    }
    log_.visitLines([&](const std::deque<std::string>& lines, std::uint64_t revision) {
        if (revision != seenLogRevision_) {
            // A new line (or Clear): the newest line is selected and scrolled into view.
            seenLogRevision_ = revision;
            selectedLine_ = static_cast<int>(lines.size()) - 1;
            scrollToSelected_ = true;
        }
        const ImU32 textColour = ImGui::GetColorU32(ImGuiCol_Text);
        ImGuiListClipper clipper;
        clipper.Begin(static_cast<int>(lines.size()));
        while (clipper.Step()) {
            for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) {
                ImGui::PushID(i);
                if (ImGui::Selectable("", selectedLine_ == i)) {
                    selectedLine_ = i;
                }
                ImGui::PopID();
                // Drawn as plain text: a name may hold characters ImGui labels treat specially.
                const std::string& line = lines[static_cast<std::size_t>(i)];
                ImGui::GetWindowDrawList()->AddText(ImGui::GetItemRectMin(), textColour, line.data(),
                                                    line.data() + line.size());
            }
        }
        clipper.End();
    });
    if (scrollToSelected_) {
        ImGui::SetScrollHereY(1.0f);  // the newest line is the last one
        scrollToSelected_ = false;
    }
    ImGui::EndListBox();
}

void ServerConsole::drawPlayers(const UiRect& area, const ServerStatus::Snapshot& shown) {
    placeCursor(area);
    if (!ImGui::BeginListBox("##players", ImVec2(area.width, area.height))) {
        return;
    }
    char number[8];
    for (const PlayerListRow& row : shown.players) {
        std::snprintf(number, sizeof number, "%3d  ", row.number);
        ImGui::TextUnformatted(number);
        ImGui::SameLine(0, 0);
        ImGui::TextUnformatted(row.name.data(), row.name.data() + row.name.size());
    }
    ImGui::EndListBox();
}

}  // namespace kestrane
