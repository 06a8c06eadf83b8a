// replay_viewer.h -- kestrane-client --play: a match recording shown in the game's own window
// at its recorded speed, with the screen its player saw (or, from a server recording, every
// player and no own one). Sends nothing and needs no server.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "client/media/client_media.h"
#include "recording/replay.h"

struct SDL_Window;
union SDL_Event;

namespace kestrane {

// The playback clock: where in the recording the picture is (milliseconds), how fast it runs,
// paused or not. Plain data, stepped by the viewer with the real time that passed.
struct PlaybackClock {
    static constexpr double kSlowest = 0.25;
    static constexpr double kFastest = 8.0;
    static constexpr double kSkipMs = 10'000;

    double position = 0;  // milliseconds into the recording
    double speed = 1;
    bool paused = false;

    // Real seconds passed: the position moves on by them times the speed, unless paused.
    void advance(double seconds) {
        if (!paused) {
            position += seconds * 1000.0 * speed;
        }
    }
    void faster() { speed = speed * 2 > kFastest ? kFastest : speed * 2; }
    void slower() { speed = speed / 2 < kSlowest ? kSlowest : speed / 2; }
};

class ReplayViewer {
public:
    // `screenshotDirectory`: where F12 saves (the directory the client was started in).
    // `screenshotEvery`: seconds between timed screenshots; 0: only on F12.
    ReplayViewer(const Recording& recording, bool windowed, std::filesystem::path screenshotDirectory,
                 double screenshotEvery = 0);
    ~ReplayViewer();
    ReplayViewer(const ReplayViewer&) = delete;
    ReplayViewer& operator=(const ReplayViewer&) = delete;

    // Opens the window and plays until it is closed (Alt+F4, Escape, the window manager, a
    // signal). Space pauses, + and - halve or double the speed (1/4 to 8 times), Right skips
    // 10 seconds ahead, F12 saves a screenshot. Returns the exit status.
    int run();

private:
    struct WindowDeleter {
        void operator()(SDL_Window* window) const;
    };

    // Applies every event up to the playback position; frames are drawn only when `draw`.
    void catchUp(bool draw);
    // A frame of a recording without frames of its own (a server's): animation and drawing.
    void ownFrame();
    void handleEvent(const SDL_Event& event, bool& quit);
    void showTitle();
    void saveScreenshot();

    const Recording& recording_;
    bool windowed_;
    std::filesystem::path screenshotDirectory_;
    bool recordedFrames_ = false;  // client and bot recordings hold their frames
    std::unique_ptr<SDL_Window, WindowDeleter> window_;
    ClientMedia media_;
    Replay replay_;
    PlaybackClock clock_;
    double screenshotEvery_;
    double lastScreenshot_ = -1;  // real seconds; negative: none yet
    double lastOwnFrame_ = 0;  // playback milliseconds of the last frame made up here
    bool endReported_ = false;
};

}  // namespace kestrane
