// main.cpp -- kestrane-server: the console window, or headless with the log on stdout.
#include <SDL.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kestrane_version.h"
#include "platform/sdl_message_box.h"
#include "platform/stop_signals.h"
#include "platform/timestamped_output.h"
#include "recording/recording_file.h"
#include "server/server.h"
#include "common/server_address.h"
#include "server/server_console.h"
#include "server/status_query.h"

namespace {

using namespace kestrane;

constexpr std::string_view kUsage =
    "Usage: kestrane-server [--headless] [--port N] [--max-players N] [--max-per-address N]\n"
    "                       [--name NAME] [--record FILE] [--screenshot FILE] [--help] [--version]\n"
    "       kestrane-server --query HOST[:PORT] [--players]\n"
    "\n"
    "Runs the Kestrane game server: gives each player a number, relays every message to all\n"
    "players and sends the game's tick twenty times a second. It also answers status queries\n"
    "on UDP: at its own port number and, with every other server of the host, at 5001.\n"
    "\n"
    "  --headless         no window: log lines go to stdout with a time stamp, and Ctrl+C or\n"
    "                     SIGTERM closes the server (chosen by itself when no display opens)\n"
    "  --port N           TCP port to listen on (default 5001; 0 picks a free one)\n"
    "  --max-players N    players connected at once, 1 to 255 (default 255); a connection\n"
    "                     beyond it is closed at once\n"
    "  --max-per-address N\n"
    "                     connections held at once from one IPv4 address (default 16; 0: no\n"
    "                     limit); raise it when many players share one address (bots, NAT)\n"
    "  --name NAME        the name LAN players see (default: this machine's name)\n"
    "  --record FILE      record the whole match as it is relayed, from the start, into FILE\n"
    "                     (watch it with kestrane-client --play FILE; see kestrane-demo)\n"
    "  --query HOST[:PORT]  ask the server there how it is, without joining: prints one line\n"
    "                     (name, players/limit, address:port, version, round trip; tab-separated)\n"
    "                     and exits 0, or exits 1 when no answer comes within a second\n"
    "  --players          with --query: also one line per player (number, name)\n"
    "  --screenshot FILE  save the console window as a PNG once it is drawn\n"
    "  --help             show this text\n"
    "  --version          show the version\n";

struct Options {
    bool headless = false;
    std::uint16_t port = kDefaultServerPort;
    std::string name;
    ConnectionLimits connections;
    std::string screenshot;
    std::string record;
    std::optional<std::string> query;
    bool players = false;
};

// A whole decimal number from `low` to `high`, or nothing.
std::optional<unsigned> parseNumber(std::string_view text, unsigned low, unsigned high) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// The value of a numeric option into `target`; false (with the message) when it is out of range.
template <typename Target>
bool takeNumber(std::string_view option, const char* text, unsigned low, unsigned high, Target& target) {
    const std::optional<unsigned> value = parseNumber(text, low, high);
    if (!value) {
        std::fprintf(stderr, "kestrane-server: %.*s wants a number from %u to %u, not '%s'\n",
                     static_cast<int>(option.size()), option.data(), low, high, text);
        return false;
    }
    target = static_cast<Target>(*value);
    return true;
}

// Exit code 0 with `Options` filled, or the code to end with at once.
std::optional<int> parseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage.data(), stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("kestrane-server %s\n", kVersion);
            return 0;
        }
        if (argument == "--headless") {
            options.headless = true;
        } else if (argument == "--port" && hasValue) {
            if (!takeNumber(argument, argv[++i], 0, 65535, options.port)) {
                return 2;
            }
        } else if (argument == "--max-players" && hasValue) {
            if (!takeNumber(argument, argv[++i], 1, PlayerTable::kLastNumber, options.connections.maxPlayers)) {
                return 2;
            }
        } else if (argument == "--max-per-address" && hasValue) {
            if (!takeNumber(argument, argv[++i], 0, PlayerTable::kLastNumber, options.connections.maxPerAddress)) {
                return 2;
            }
        } else if (argument == "--name" && hasValue) {
            options.name = argv[++i];
            if (options.name.empty() || options.name.size() > kStatusMaxServerName) {
                std::fprintf(stderr, "kestrane-server: --name wants 1 to %zu bytes, not '%s'\n", kStatusMaxServerName,
                             argv[i]);
                return 2;
            }
        } else if (argument == "--query" && hasValue) {
            options.query = argv[++i];
        } else if (argument == "--players") {
            options.players = true;
        } else if (argument == "--record" && hasValue) {
            options.record = argv[++i];
        } else if (argument == "--screenshot" && hasValue) {
            options.screenshot = argv[++i];
        } else {
            std::fprintf(stderr, "kestrane-server: unknown or incomplete option '%s'\n\n%s", argv[i], kUsage.data());
            return 2;
        }
    }
    if (options.players && !options.query) {
        std::fprintf(stderr, "kestrane-server: --players goes with --query\n");
        return 2;
    }
    return std::nullopt;
}

// --query: one status line (and the players), 0 when the server answered in time.
int runQuery(const std::string& target, bool players) {
    const std::optional<ServerAddress> address = parseServerAddress(target);
    if (!address) {
        std::fprintf(stderr, "kestrane-server: --query wants HOST or HOST:PORT, not '%s'\n", target.c_str());
        return 2;
    }
    const std::optional<Ipv4Address> ip = resolveIpv4(address->host);
    if (!ip) {
        std::fprintf(stderr, "kestrane-server: cannot find the host '%s'\n", address->host.c_str());
        return 1;
    }
    const std::optional<StatusReply> reply = queryServerStatus({*ip, address->port}, players);
    if (!reply) {
        std::fprintf(stderr, "kestrane-server: no answer from %s:%u (UDP) within a second\n", ip->toString().c_str(),
                     static_cast<unsigned>(address->port));
        return 1;
    }
    std::printf("%s\n", statusLine(*reply).c_str());
    if (players) {
        for (const std::string& line : playerLines(reply->answer)) {
            std::printf("%s\n", line.c_str());
        }
    }
    return 0;
}

std::atomic<Server*> signalledServer{nullptr};

// Ctrl+C, SIGTERM and the console window's close run the Exit sequence.
void onStopRequest() {
    if (Server* server = signalledServer.load()) {
        server->requestExit();
    }
}

void installSignalHandlers(Server& server) {
    signalledServer = &server;
    setStopHandler(onStopRequest);
    ignoreBrokenPipes();  // sends never raise SIGPIPE; this covers stdout on a closed pipe
}

int runHeadless(Server& server) {
    server.log().setListener(printTimestampedLine);
    if (!server.start()) {
        return 1;
    }
    const ServerStatus::Snapshot shown = server.status().snapshot();
    if (!shown.address.empty()) {
        printTimestampedLine(shown.address);
    }
    printTimestampedLine("Port : " + std::to_string(server.port()));
    printTimestampedLine("Name : " + shown.serverName);
    server.runHeadless();
    return 0;
}

int runConsole(Server& server, ServerConsole& console, const std::string& screenshot) {
    if (!server.start()) {
        console.close();
        return 1;
    }
    console.show();
    bool screenshotTaken = screenshot.empty();
    while (!server.exitRequested()) {
        server.pollNetwork(console.pollTimeoutMs());
        if (console.update() == ConsoleCommand::Exit) {
            break;
        }
        if (!screenshotTaken && console.framesDrawn() >= 3) {
            screenshotTaken = true;
            if (console.saveScreenshot(screenshot)) {
                std::printf("kestrane-server: saved %s\n", screenshot.c_str());
            } else {
                std::fprintf(stderr, "kestrane-server: could not save %s\n", screenshot.c_str());
            }
            std::fflush(stdout);
        }
    }
    server.exitServer([&] { console.redraw(); });
    console.close();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const std::optional<int> done = parseArguments(argc, argv, options)) {
        return *done;
    }
    if (options.query) {
        return runQuery(*options.query, options.players);
    }
    ServerOptions serverOptions;
    serverOptions.port = options.port;
    serverOptions.name = options.name;
    serverOptions.connections = options.connections;
    // Opened before the server and closed after it, so the recording holds the whole run.
    RecordingWriter recording;
    if (!options.record.empty()) {
        std::string error;
        if (!recording.open(options.record, RecordingSource::Server, error)) {
            std::fprintf(stderr, "kestrane-server: %s\n", error.c_str());
            return 1;
        }
        serverOptions.recording = &recording;
    }
    Server server(serverOptions);
    installSignalHandlers(server);

    std::unique_ptr<ServerConsole> console;
    if (!options.headless) {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        console = std::make_unique<ServerConsole>(server.log(), server.status());
        if (console->open()) {
            useSdlMessageBoxes();
        } else {
            std::fprintf(stderr, "kestrane-server: cannot open a window (%s); running headless\n",
                         SDL_GetError());
            console.reset();
        }
    }
    const int status = console ? runConsole(server, *console, options.screenshot) : runHeadless(server);
    signalledServer = nullptr;
    console.reset();
    SDL_Quit();
    return status;
}
