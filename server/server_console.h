// server_console.h -- the server's console window: State log, Player list, count, IP, Clear and Exit.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/ui/imgui_window.h"
#include "server/server_log.h"
#include "server/server_status.h"

namespace kestrane {

// Where the console's controls sit: the log column on the left with the name and IP fields above it
// and Clear below; the player column on the right with the count above and Exit below.
struct ConsoleLayout {
    static constexpr int kWidth = 736;
    static constexpr int kHeight = 420;

    UiRect stateLabel{12, 14, 60, 20};
    UiRect nameField{76, 10, 184, 24};  // the server's name, as LAN players see it
    UiRect addressField{268, 10, 216, 24};
    UiRect logList{12, 44, 472, 322};
    UiRect clearButton{12, 376, 472, 32};
    UiRect playerLabel{496, 14, 60, 20};
    UiRect countField{644, 10, 80, 24};
    UiRect playerList{496, 44, 228, 322};
    UiRect exitButton{496, 376, 228, 32};
};

enum class ConsoleCommand { None, Exit };

// The window shows what the log and the display hold; it reads them, never the player
// table. Clear empties the log; Exit is the only way out: the close box and Escape do
// nothing. Main thread only.
class ServerConsole {
public:
    ServerConsole(ServerLog& log, ServerStatus& status) : log_(log), status_(status) {}

    // Opens the window, hidden. False when no display can be opened.
    bool open();
    void show() { window_.show(); }
    void close() { window_.close(); }
    bool isOpen() const { return window_.isOpen(); }

    // Handles the window events that wait and draws a frame when something changed or the
    // operator is using the window. Exit when the operator pressed Exit.
    ConsoleCommand update();
    // Draws one frame now (the Exit sequence shows its closing line this way).
    void redraw();
    // How long the main loop may wait on the network before the next update.
    int pollTimeoutMs() const;

    bool saveScreenshot(const std::string& path) { return window_.saveScreenshot(path); }
    ImGuiWindow& window() { return window_; }
    std::uint64_t framesDrawn() const { return framesDrawn_; }
    static ConsoleLayout layout() { return {}; }

private:
    bool drawFrame();
    void drawLog(const UiRect& area);
    void drawPlayers(const UiRect& area, const ServerStatus::Snapshot& shown);

    ServerLog& log_;
    ServerStatus& status_;
    ImGuiWindow window_;
    int framesWanted_ = 0;
    std::uint64_t seenLogRevision_ = ~std::uint64_t{0};
    std::uint64_t seenStatusRevision_ = ~std::uint64_t{0};
    int selectedLine_ = -1;       // the State list's selection; the newest line when one arrives
    bool scrollToSelected_ = false;
    std::chrono::steady_clock::time_point lastFrame_{};
    std::uint64_t framesDrawn_ = 0;
};

}  // namespace kestrane
