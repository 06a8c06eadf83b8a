// main.cpp -- kestrane-bots: N headless bot players in one process, until a duration or a signal.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "bots/bot_options.h"
#include "bots/bot_runner.h"
#include "client/app/data_directory.h"
#include "client/media/client_media.h"
#include "platform/message_box.h"
#include "platform/stop_signals.h"
#include "platform/text_encoding.h"
#include "platform/timestamped_output.h"

namespace {

using namespace kestrane;
using Clock = std::chrono::steady_clock;

// How often the main thread looks at the bots while it waits for a signal or the end.
constexpr auto kStatusCheck = std::chrono::milliseconds(200);

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const ParsedBotArguments parsed = parseBotArguments(arguments);
    if (parsed.exitCode) {
        std::fputs(parsed.message.c_str(), *parsed.exitCode == 0 ? stdout : stderr);
        return *parsed.exitCode;
    }
    const BotProgramOptions& options = parsed.options;
    StopSignals stopSignals;  // before any thread starts
    ignoreBrokenPipes();      // sends never raise SIGPIPE; this covers stdout

    BotLog log(printTimestampedLine);
    setMessageBoxHandler([&log](std::string_view caption, std::string_view text) {
        log.line(std::string(caption) + ": " + std::string(text));
    });
    // The artwork is where the client finds it when started from elsewhere: next to the
    // program in a build tree, in ../share/kestrane in an installation.
    const DataDirectoryChoice data = chooseDataDirectory(dataDirectoryCandidates(std::nullopt, programDirectory()));

    BotRunnerOptions runnerOptions;
    runnerOptions.server = options.server;
    runnerOptions.count = options.count;
    runnerOptions.namePrefix = utf8ToCp949(options.namePrefix);
    runnerOptions.seed = options.seed.value_or(static_cast<std::uint64_t>(std::time(nullptr)));
    runnerOptions.threads = options.threads;
    runnerOptions.dataDirectory = data.directory;
    runnerOptions.recordDirectory = options.recordDirectory;
    BotRunner runner(runnerOptions, log);
    log.line("kestrane-bots: " + std::to_string(options.count) + " bots for " + options.server + ", seed " +
             std::to_string(runnerOptions.seed) + ", " + std::to_string(runner.threadCount()) +
             (runner.threadCount() == 1 ? " thread" : " threads"));
    const std::vector<std::string_view> missing = missingDataFiles(data.directory);
    const bool spritesMissing = data.directory.empty() || std::ranges::any_of(missing, [](std::string_view file) {
        return file == kPlayerSpriteFile || file == kBulletSpriteFile;
    });
    if (spritesMissing || !runner.loadArtwork()) {
        log.line("kestrane-bots: cannot read the sprite files (Player.spr, bullet.Spr): " +
                 (data.problem.empty() ? "they are damaged in " + data.directory.string() : data.problem));
        return 1;
    }
    if (!runner.startRecordings()) {
        return 1;
    }

    const bool timed = options.durationSeconds > 0;
    const Clock::time_point end =
        timed ? Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options.durationSeconds))
              : Clock::time_point::max();
    const int joined = runner.joinAll([&] { return !stopSignals.wait(std::chrono::milliseconds(0)) && Clock::now() < end; });
    if (joined == 0 && !stopSignals.wait(std::chrono::milliseconds(0))) {
        log.line("kestrane-bots: no bot could join the game at " + options.server + "; is the server running?");
        return 1;
    }
    log.line("kestrane-bots: " + std::to_string(joined) + (joined == 1 ? " bot" : " bots") + " in the game");

    for (;;) {
        if (stopSignals.wait(std::chrono::milliseconds(0))) {
            log.line(std::string("kestrane-bots: ") + stopSignals.name() + " received, leaving");
            break;
        }
        if (Clock::now() >= end) {
            log.line("kestrane-bots: time is up, leaving");
            break;
        }
        if (runner.countInPhase(BotPhase::Gone) >= joined) {
            log.line("kestrane-bots: no bot is connected any more");
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        stopSignals.wait(std::min(kStatusCheck, std::max(left, std::chrono::milliseconds(1))));
    }
    runner.leaveAll();
    log.line("kestrane-bots: done");
    return 0;
}
