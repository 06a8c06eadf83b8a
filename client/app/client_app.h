// client_app.h -- the client program from the login dialog to the orderly shutdown.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "client/app/client_options.h"
#include "client/app/client_settings.h"
#include "client/app/gamepad.h"
#include "client/app/input_script.h"
#include "client/app/main_loop.h"
#include "client/media/client_media.h"
#include "client/net/client_session.h"
#include "client/world/client_world.h"
#include "common/frame_timer.h"
#include "platform/clock.h"
#include "recording/recording_file.h"

struct SDL_Window;
union SDL_Event;
struct SDL_KeyboardEvent;

namespace kestrane {

class LoginDialog;

// Messages of the start-up (caption "Orvane Works").
inline constexpr std::string_view kWindowCreationFailedText = "윈도우 생성 실패";
inline constexpr std::string_view kDisplayCreationFailedText = "다이렉트 드로우 생성 실패";

// The pause between the Leave and closing the connection, so the server relays the
// Leave to everyone before it sees the connection end.
inline constexpr int kLeaveGraceMs = 2000;
// How long the volume stays on screen after a volume key.
inline constexpr double kVolumeShownSeconds = 1.5;

// One run of the client. SDL's video must be started (startVideo) before run(). Everything
// here runs on the main thread, except the session's receive thread, which touches only the
// session's queue and, through the queue's push listener, posts the wake-up event.
class ClientApp final : public MainLoopHost, private ScriptHost {
public:
    // `startDirectory` is where the program was started (relative paths of the options are
    // taken from it); `script` replaces the keyboard when given. `clock` times the frames,
    // the world, the close pause and what is shown for a while.
    ClientApp(ClientOptions options, std::filesystem::path startDirectory,
              std::optional<std::vector<ScriptCommand>> script = std::nullopt, GameClock clock = secondsSinceStart);
    ~ClientApp() override;
    ClientApp(const ClientApp&) = delete;
    ClientApp& operator=(const ClientApp&) = delete;

    // Start-up in order -- login, blocking socket and join, main window, sound, chat box,
    // receive thread, display, keyboard, sprite sets and background -- then the main loop
    // until the window's close request, then the shutdown. Returns the exit status.
    int run();

private:
    struct WindowDeleter {
        void operator()(SDL_Window* window) const;
    };

    // The login dialog, or with --connect the same decisions without a window. Nothing when
    // connected; otherwise the exit status.
    std::optional<int> login();
    std::optional<int> connectAtOnce(LoginDialog& dialog);
    // After a failure past the join: the server is told at once and the connection closed.
    void leaveAfterFailure();
    void startReceiving();
    int shutDown();
    // The Leave's grace period, with the window still served: its events are taken, what
    // waits for the server is flushed, and the last state of the world is drawn and shown
    // every frame period.
    void waitOutLeaveGrace();

    // MainLoopHost
    bool handleWaitingEvent() override;
    bool quitRequested() const override { return quitRequested_; }
    void dispatchNextPacket() override;
    bool packetWaiting() const override;
    bool frameDue() override;
    void frameTick() override;
    void flushOutgoing() override { session_.flushOutgoing(); }
    double secondsUntilFrame() const override;
    void waitForEvent(int timeoutMs) override;

    // Sends the world's outbox through the session and plays and shows its effects.
    void carryOut();
    void handleEvent(const SDL_Event& event);
    void handleKey(const SDL_KeyboardEvent& key);
    void followChatFocus();
    void saveTimedScreenshot();
    // Reads the remembered settings (saying on stderr once when it cannot) and writes them.
    void loadSettings();
    void saveSettings();
    // The volume keys: mute and unmute, or a step quieter or louder; shown for a moment.
    void changeVolume(KeyAction action);
    void toggleFullScreen();
    // The game's key snapshot: the keyboard through the bindings, with every pad's keys.
    KeyState gameKeys() const;
    void drawAndShow();
    std::uint32_t mainWindowId() const;

    // ScriptHost
    double now() const override;
    bool worldRunning() const override;
    std::vector<std::string> playerNames() const override;
    std::vector<std::string> chatLines() const override;
    void setKeys(const KeyState& keys) override;
    void typeText(std::string_view utf8) override;
    void pressKey(ScriptKey key) override;
    void requestScreenshot(const std::string& file) override;
    bool saveScreenshot(const std::string& file);
    void requestClose() override;
    void report(const std::string& line) override;
    void reportError(const std::string& line) override;

    GameClock clock_;
    ClientOptions options_;
    ClientSettings settings_;
    std::optional<std::filesystem::path> settingsPath_;
    bool settingsMalformed_ = false;  // the file is kept aside when it is written over
    double volumeShownUntil_ = -1;    // seconds since start
    Gamepads gamepads_;
    std::filesystem::path startDirectory_;
    std::optional<ScriptPlayer> script_;

    // Declared before the media so that it is destroyed after them.
    std::unique_ptr<SDL_Window, WindowDeleter> window_;
    ClientSession session_;
    ClientMedia media_;
    std::optional<ClientWorld> world_;
    RecordingWriter recording_;  // --record: what the world applies, and its frames

    FrameTimer frameTimer_;
    double lastFrameAt_ = 0;
    std::optional<double> lastTimedScreenshot_;
    std::vector<std::string> scriptScreenshots_;  // to save once the frame is drawn
    std::uint32_t wakeEventType_ = 0;
    std::atomic<bool> wakePending_{false};
    bool quitRequested_ = false;
    bool textInputOn_ = false;
};

}  // namespace kestrane
