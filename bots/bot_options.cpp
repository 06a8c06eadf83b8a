// bot_options.cpp -- reading and checking the command line.
#include "bots/bot_options.h"

#include <charconv>
#include <cmath>

#include "client/net/client_session.h"
#include "kestrane_version.h"

namespace kestrane {

namespace {

template <typename Number>
std::optional<Number> parseNumber(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

ParsedBotArguments failure(std::string message) {
    ParsedBotArguments result;
    result.exitCode = 2;
    result.message = "kestrane-bots: " + message + "\n(kestrane-bots --help shows every option)\n";
    return result;
}

}  // namespace

ParsedBotArguments parseBotArguments(std::span<const std::string_view> arguments) {
    ParsedBotArguments result;
    BotProgramOptions& options = result.options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view option = arguments[i];
        if (option == "--help" || option == "-h") {
            result.exitCode = 0;
            result.message = std::string(kBotUsage);
            return result;
        }
        if (option == "--version") {
            result.exitCode = 0;
            result.message = std::string("kestrane-bots ") + kVersion + "\n";
            return result;
        }
        if (option != "--server" && option != "--count" && option != "--name" && option != "--seed" &&
            option != "--duration" && option != "--threads" && option != "--record-dir") {
            return failure("unknown option '" + std::string(option) + "'");
        }
        if (i + 1 >= arguments.size()) {
            return failure(std::string(option) + " needs a value");
        }
        const std::string_view value = arguments[++i];
        if (option == "--server") {
            if (!parseServerAddress(value)) {
                return failure("--server wants HOST or HOST:PORT with a port from 1 to 65535, not '" +
                               std::string(value) + "'");
            }
            options.server = std::string(value);
        } else if (option == "--count") {
            const std::optional<int> count = parseNumber<int>(value);
            if (!count || *count < 1 || *count > kMaxBots) {
                return failure("--count wants a number from 1 to 255, not '" + std::string(value) + "'");
            }
            options.count = *count;
        } else if (option == "--name") {
            if (value.empty()) {
                return failure("--name wants a prefix of at least one character");
            }
            options.namePrefix = std::string(value);
        } else if (option == "--seed") {
            const std::optional<std::uint64_t> seed = parseNumber<std::uint64_t>(value);
            if (!seed) {
                return failure("--seed wants a whole number from 0 to 18446744073709551615, not '" +
                               std::string(value) + "'");
            }
            options.seed = *seed;
        } else if (option == "--duration") {
            const std::optional<double> seconds = parseNumber<double>(value);
            if (!seconds || !std::isfinite(*seconds) || *seconds < 0) {
                return failure("--duration wants a number of seconds (0 or more), not '" + std::string(value) + "'");
            }
            options.durationSeconds = *seconds;
        } else if (option == "--record-dir") {
            if (value.empty()) {
                return failure("--record-dir wants a directory");
            }
            options.recordDirectory = std::string(value);
        } else {
            const std::optional<int> threads = parseNumber<int>(value);
            if (!threads || *threads < 1 || *threads > 64) {
                return failure("--threads wants a number from 1 to 64, not '" + std::string(value) + "'");
            }
            options.threads = *threads;
        }
    }
    return result;
}

}  // namespace kestrane
