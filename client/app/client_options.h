// client_options.h -- kestrane-client's command line.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrane {

// Exit statuses of kestrane-client.
inline constexpr int kExitOk = 0;           // the game or the dialog ended as the player asked
inline constexpr int kExitFailed = 1;       // start-up failed (network, server, window, display)
inline constexpr int kExitUsage = 2;        // a bad command line or input script
inline constexpr int kExitNoDisplay = 3;    // no display to open a window on
inline constexpr int kExitScriptFailed = 4; // an input script gave up waiting

inline constexpr std::string_view kClientUsage =
    "Usage: kestrane-client [--server HOST[:PORT]] [--name NAME] [--connect] [--windowed]\n"
    "                       [--screenshot-dir DIR] [--screenshot-every SECONDS] [--script FILE]\n"
    "                       [--record FILE] [--help] [--version]\n"
    "       kestrane-client --play FILE [--windowed] [--screenshot-dir DIR] [--screenshot-every SECONDS]\n"
    "\n"
    "Plays Kestrane: asks for the server and your player name, then shows the arena full screen.\n"
    "\n"
    "  --server HOST[:PORT]        fills the Server IP field (port 5001 when none is given)\n"
    "  --name NAME                 fills the Player Name field\n"
    "  --connect                   with --server and --name: connects at once, no dialog\n"
    "  --windowed                  an 800 x 600 window instead of full screen\n"
    "  --screenshot-dir DIR        where F12 saves screenshots (default: the current directory)\n"
    "  --screenshot-every SECONDS  also save a screenshot of the game screen that often\n"
    "  --script FILE               play keyboard input from FILE instead of the keyboard\n"
    "                              (for automated tests and demos; see client/app/input_script.h)\n"
    "  --record FILE               record the game as this client sees it into FILE\n"
    "  --play FILE                 watch a recording (of a client, bot or server) instead of\n"
    "                              playing: Space pauses, + and - change the speed (1/4 to 8x),\n"
    "                              Right skips 10 seconds, F12 saves a screenshot, Escape ends\n"
    "  --help                      show this text\n"
    "  --version                   show the version\n"
    "\n"
    "Keys: arrows walk and turn, Space shoots, left Alt lays a mine, F1 opens the chat (Enter\n"
    "sends, Escape drops), F10 stands up again after a knock-down, Tab shows the scores, F5\n"
    "mutes, F6 and F7 change the volume, F11 or Alt+Enter switch full screen, F12 saves a\n"
    "screenshot, Alt+F4 leaves the game. A game controller plays too.\n"
    "\n"
    "Settings (last server and name, volume, screen, keys) are kept in\n"
    "$XDG_CONFIG_HOME/kestrane/client.ini (~/.config/kestrane/client.ini).\n";

struct ClientOptions {
    std::optional<std::string> server;  // as typed: HOST or HOST:PORT
    std::optional<std::string> name;    // UTF-8
    bool connect = false;
    bool windowed = false;
    std::filesystem::path screenshotDir;  // empty: the directory the client was started in
    double screenshotEvery = 0;           // seconds; 0: only on F12
    std::filesystem::path script;         // empty: the real keyboard
    std::filesystem::path record;         // empty: no recording
    std::filesystem::path play;           // a recording to watch instead of playing; empty: play
};

// What the command line asks for: run with `options`, or end at once with `exitStatus`
// after printing `message` (the usage text for --help, an error otherwise).
struct ParsedCommandLine {
    ClientOptions options;
    std::optional<int> exitStatus;
    std::string message;
};

// `arguments` without the program name. --connect needs both --server and --name; a server
// address must read HOST or HOST:PORT with a port from 1 to 65535.
ParsedCommandLine parseClientOptions(std::span<const std::string_view> arguments);

}  // namespace kestrane
