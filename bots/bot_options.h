// bot_options.h -- the kestrane-bots command line.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kestrane {

inline constexpr int kMaxBots = 255;  // a server hands out 255 player numbers in its life

struct BotProgramOptions {
    std::string server = "127.0.0.1";  // HOST[:PORT]
    int count = 4;
    std::string namePrefix = "봇";  // UTF-8, as typed
    std::optional<std::uint64_t> seed;  // none: taken from the clock
    double durationSeconds = 0;         // 0: until SIGINT or SIGTERM
    int threads = 0;                    // 0: one per 256 bots
    std::string recordDirectory;        // empty: no recordings
};

inline constexpr std::string_view kBotUsage =
    "Usage: kestrane-bots [--server HOST[:PORT]] [--count N] [--name PREFIX] [--seed S]\n"
    "                     [--duration SECONDS] [--threads N] [--record-dir DIR] [--help] [--version]\n"
    "\n"
    "Plays Kestrane with N computer players, all in this process. Each is the real game client\n"
    "without a window or sound: it walks, turns toward the nearest opponent, fires when lined up,\n"
    "lays a mine now and then, gets up again with F10 after going down and chats now and then.\n"
    "\n"
    "  --server HOST[:PORT]  the server to play on (default 127.0.0.1, port 5001)\n"
    "  --count N             how many bots, 1 to 255 (default 4)\n"
    "  --name PREFIX         name prefix: bot i is PREFIX followed by i (default 봇)\n"
    "  --seed S              a number that makes start positions and choices repeatable\n"
    "                        (default: taken from the clock and shown in the log)\n"
    "  --duration SECONDS    leave the game after this long (default: until Ctrl+C or SIGTERM)\n"
    "  --threads N           threads that drive the bots, 1 to 64 (default: one per 256 bots)\n"
    "  --record-dir DIR      record each bot's game into DIR/botN.krec (N from 1; see kestrane-demo)\n"
    "  --help                show this text\n"
    "  --version             show the version\n"
    "\n"
    "The bots join one after another. At the end every bot leaves the game (Leave) and the\n"
    "program exits with 0; it ends by itself when the server closes the game.\n";

struct ParsedBotArguments {
    BotProgramOptions options;
    // Set when the program should end at once: 0 after --help, 2 after a bad argument.
    std::optional<int> exitCode;
    // The usage text (--help) or what was wrong.
    std::string message;
};

// Reads the arguments after the program name.
ParsedBotArguments parseBotArguments(std::span<const std::string_view> arguments);

}  // namespace kestrane
