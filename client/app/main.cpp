// main.cpp -- kestrane-client: the login dialog, then the game.
#include <SDL.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "client/app/client_app.h"
#include "client/app/client_options.h"
#include "client/app/data_directory.h"
#include "client/app/input_script.h"
#include "client/app/main_window.h"
#include "client/app/replay_viewer.h"
#include "platform/sdl_message_box.h"
#include "platform/stop_signals.h"

namespace {

using namespace kestrane;

// The script's commands, or the exit status when it cannot be read.
std::optional<std::vector<ScriptCommand>> loadScript(const std::filesystem::path& file, int& status) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "kestrane-client: cannot read the script %s\n", file.string().c_str());
        status = kExitUsage;
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string error;
    std::optional<std::vector<ScriptCommand>> commands = parseInputScript(text.str(), error);
    if (!commands) {
        std::fprintf(stderr, "kestrane-client: script %s, %s\n", file.string().c_str(), error.c_str());
        status = kExitUsage;
    }
    return commands;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    ParsedCommandLine parsed = parseClientOptions(arguments);
    if (parsed.exitStatus) {
        std::fputs(parsed.message.c_str(), *parsed.exitStatus == kExitOk ? stdout : stderr);
        return *parsed.exitStatus;
    }
    ClientOptions options = std::move(parsed.options);
    ignoreBrokenPipes();  // sends never raise SIGPIPE; this covers stdout on a closed pipe

    // Paths on the command line are the player's, from where the program was started.
    std::error_code error;
    const std::filesystem::path startDirectory = std::filesystem::current_path(error);
    if (!options.screenshotDir.empty()) {
        options.screenshotDir = startDirectory / options.screenshotDir;
    }
    std::optional<std::vector<ScriptCommand>> script;
    if (!options.script.empty()) {
        int status = kExitOk;
        script = loadScript(startDirectory / options.script, status);
        if (!script) {
            return status;
        }
    }

    std::optional<Recording> recording;
    if (!options.play.empty()) {
        std::string why;
        recording = loadRecording((startDirectory / options.play).string(), why);
        if (!recording) {
            std::fprintf(stderr, "kestrane-client: %s: %s\n", options.play.string().c_str(), why.c_str());
            return kExitFailed;
        }
        if (!recording->problem.empty()) {
            std::fprintf(stderr, "kestrane-client: %s: %s; playing what comes before\n", options.play.string().c_str(),
                         recording->problem.c_str());
        }
    }

    // Each missing file says so again when it is loaded; the game runs without it.
    if (const std::string problem = enterDataDirectory(); !problem.empty()) {
        std::fprintf(stderr, "kestrane-client: %s\n", problem.c_str());
    }

    // Only the main window's close request and the signals end the game, never the closing
    // of the login dialog's window.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    std::string problem;
    if (!startVideo(problem)) {
        std::fprintf(stderr,
                     "kestrane-client: no display to open a window on (%s).\n"
                     "The client needs a graphical desktop: X11 ($DISPLAY) or Wayland ($WAYLAND_DISPLAY).\n"
                     "To watch a match without one, run ./scripts/play: it plays headless and saves screenshots.\n",
                     problem.c_str());
        SDL_Quit();
        return kExitNoDisplay;
    }
    useSdlMessageBoxes();

    int status = kExitOk;
    if (recording) {
        ReplayViewer viewer(*recording, options.windowed,
                            options.screenshotDir.empty() ? startDirectory : options.screenshotDir, options.screenshotEvery);
        status = viewer.run();
    } else {
        ClientApp app(std::move(options), startDirectory, std::move(script));
        status = app.run();
    }
    SDL_Quit();
    return status;
}
