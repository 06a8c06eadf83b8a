// replay_viewer.cpp -- playing a recording in the game's window: the playback clock, the keys,
// the frames.
#include "client/app/replay_viewer.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <system_error>

#include "client/app/main_window.h"
#include "client/world/frame_tick.h"
#include "client/world/world_drawing.h"
#include "platform/png_writer.h"

namespace kestrane {

namespace {

constexpr double kFrameMs = 1000.0 / 30.0;

}  // namespace

void ReplayViewer::WindowDeleter::operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }

ReplayViewer::ReplayViewer(const Recording& recording, bool windowed, std::filesystem::path screenshotDirectory,
                           double screenshotEvery)
    : recording_(recording),
      windowed_(windowed),
      screenshotDirectory_(std::move(screenshotDirectory)),
      replay_(recording),
      screenshotEvery_(screenshotEvery) {
    recordedFrames_ = std::any_of(recording.events.begin(), recording.events.end(),
                                  [](const RecordingEvent& event) { return event.kind == RecordingEvent::Kind::Frame; });
}

ReplayViewer::~ReplayViewer() = default;

int ReplayViewer::run() {
    window_.reset(createMainWindow(windowed_));
    if (!window_) {
        std::fprintf(stderr, "kestrane-client: cannot open the window: %s\n", SDL_GetError());
        return 1;
    }
    const WindowMode mode = windowed_ ? WindowMode::Windowed : WindowMode::FullScreenDesktop;
    if (!media_.display.init(window_.get(), kScreenWidth, kScreenHeight, kScreenBitsPerPixel, mode)) {
        std::fprintf(stderr, "kestrane-client: cannot set up the display\n");
        return 1;
    }
    media_.sound.init();
    media_.loadArtwork();
    replay_.world().sprites = media_.spriteSizes();
    showTitle();

    bool quit = false;
    double last = secondsSinceStart();
    while (!quit) {
        SDL_Event event;
        while (SDL_PollEvent(&event) != 0) {
            handleEvent(event, quit);
        }
        const double now = secondsSinceStart();
        clock_.advance(now - last);
        last = now;
        catchUp(true);
        if (screenshotEvery_ > 0 && media_.display.presentCount() > 0 &&
            (lastScreenshot_ < 0 || now - lastScreenshot_ >= screenshotEvery_)) {
            lastScreenshot_ = now;
            saveScreenshot();
        }
        if (replay_.finished() && !endReported_) {
            endReported_ = true;
            std::printf("kestrane-client: end of the recording (%u.%03u s)\n",
                        recording_.events.empty() ? 0u : recording_.events.back().time / 1000,
                        recording_.events.empty() ? 0u : recording_.events.back().time % 1000);
            std::fflush(stdout);
            showTitle();
        }
        SDL_WaitEventTimeout(nullptr, 5);
    }
    return 0;
}

void ReplayViewer::catchUp(bool draw) {
    ClientWorld& world = replay_.world();
    const auto drawFrame = [this, draw] {
        if (draw) {
            showFrame(replay_.world(), media_);
        }
    };
    while (!replay_.finished() && replay_.nextEvent().time <= clock_.position) {
        if (!recordedFrames_) {
            // Frames at 30 a second between the recorded packets, for the animation.
            while (lastOwnFrame_ + kFrameMs <= replay_.nextEvent().time) {
                lastOwnFrame_ += kFrameMs;
                frameTick(world, KeyState{}, drawFrame);
            }
        }
        replay_.step(true, drawFrame);
        if (draw) {
            playEffects(world.outbox, media_);
        }
        world.outbox.clear();
    }
    if (!recordedFrames_) {
        while (lastOwnFrame_ + kFrameMs <= clock_.position) {
            lastOwnFrame_ += kFrameMs;
            frameTick(world, KeyState{}, drawFrame);
            world.outbox.clear();
        }
    }
}

void ReplayViewer::handleEvent(const SDL_Event& event, bool& quit) {
    if (event.type == SDL_QUIT) {
        quit = true;
        return;
    }
    if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE) {
        quit = true;
        return;
    }
    if (event.type != SDL_KEYDOWN) {
        return;
    }
    const SDL_Keycode key = event.key.keysym.sym;
    switch (key) {
        case SDLK_ESCAPE:
            quit = true;
            return;
        case SDLK_F4:
            quit = (event.key.keysym.mod & KMOD_ALT) != 0;
            return;
        case SDLK_SPACE:
            clock_.paused = !clock_.paused;
            break;
        case SDLK_PLUS:
        case SDLK_KP_PLUS:
        case SDLK_EQUALS:  // + without Shift on many layouts
            clock_.faster();
            break;
        case SDLK_MINUS:
        case SDLK_KP_MINUS:
            clock_.slower();
            break;
        case SDLK_RIGHT:
            clock_.position += PlaybackClock::kSkipMs;
            catchUp(false);  // applied, not drawn
            break;
        case SDLK_F12:
            if (event.key.repeat == 0) {
                saveScreenshot();
            }
            return;
        default:
            return;
    }
    showTitle();
}

void ReplayViewer::showTitle() {
    char speed[16];
    std::snprintf(speed, sizeof speed, clock_.speed < 1 ? "1/%.0f" : "%.0f", clock_.speed < 1 ? 1 / clock_.speed : clock_.speed);
    std::string title = std::string(kMainWindowTitle) + " - replay, " + speed + "x";
    if (clock_.paused) {
        title += ", paused";
    }
    if (replay_.finished()) {
        title += ", ended";
    }
    SDL_SetWindowTitle(window_.get(), title.c_str());
}

void ReplayViewer::saveScreenshot() {
    std::error_code error;
    std::filesystem::create_directories(screenshotDirectory_, error);
    const std::string path = (screenshotDirectory_ / timestampedPngName("kestrane")).string();
    if (!media_.display.saveScreenshot(path)) {
        std::fprintf(stderr, "kestrane-client: could not save the screenshot %s\n", path.c_str());
        return;
    }
    std::printf("kestrane-client: saved %s\n", path.c_str());
    std::fflush(stdout);
}

}  // namespace kestrane
