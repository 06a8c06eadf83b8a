// client_options.cpp -- reading kestrane-client's command line.
#include "client/app/client_options.h"

#include <charconv>
#include <cmath>

#include "client/net/client_session.h"
#include "kestrane_version.h"

namespace kestrane {

namespace {

ParsedCommandLine stop(int status, std::string message) {
    ParsedCommandLine result;
    result.exitStatus = status;
    result.message = std::move(message);
    return result;
}

ParsedCommandLine usageError(const std::string& problem) {
    return stop(kExitUsage, "kestrane-client: " + problem + "\nRun kestrane-client --help for the options.\n");
}

std::optional<double> parseSeconds(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || value <= 0) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

ParsedCommandLine parseClientOptions(std::span<const std::string_view> arguments) {
    ParsedCommandLine result;
    ClientOptions& options = result.options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const bool takesValue = argument == "--server" || argument == "--name" || argument == "--screenshot-dir" ||
                                argument == "--screenshot-every" || argument == "--script" ||
                                argument == "--record" || argument == "--play";
        if (takesValue && i + 1 >= arguments.size()) {
            return usageError(std::string(argument) + " wants a value");
        }
        if (argument == "--help" || argument == "-h") {
            return stop(kExitOk, std::string(kClientUsage));
        } else if (argument == "--version") {
            return stop(kExitOk, std::string("kestrane-client ") + kVersion + "\n");
        } else if (argument == "--server") {
            const std::string_view value = arguments[++i];
            if (!parseServerAddress(value)) {
                return usageError("--server wants HOST or HOST:PORT (a port from 1 to 65535), not '" +
                                  std::string(value) + "'");
            }
            options.server = std::string(value);
        } else if (argument == "--name") {
            options.name = std::string(arguments[++i]);
        } else if (argument == "--connect") {
            options.connect = true;
        } else if (argument == "--windowed") {
            options.windowed = true;
        } else if (argument == "--screenshot-dir") {
            options.screenshotDir = std::string(arguments[++i]);
        } else if (argument == "--screenshot-every") {
            const std::optional<double> seconds = parseSeconds(arguments[++i]);
            if (!seconds) {
                return usageError("--screenshot-every wants a number of seconds above 0, not '" +
                                  std::string(arguments[i]) + "'");
            }
            options.screenshotEvery = *seconds;
        } else if (argument == "--script") {
            options.script = std::string(arguments[++i]);
        } else if (argument == "--record") {
            options.record = std::string(arguments[++i]);
        } else if (argument == "--play") {
            options.play = std::string(arguments[++i]);
        } else {
            return usageError("unknown option '" + std::string(argument) + "'");
        }
    }
    if (!options.play.empty() && (options.connect || !options.script.empty() || !options.record.empty())) {
        return usageError("--play watches a recording: it goes without --connect, --script and --record");
    }
    if (options.connect && (!options.server || !options.name)) {
        return usageError("--connect needs both --server and --name");
    }
    return result;
}

}  // namespace kestrane
