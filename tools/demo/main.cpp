// main.cpp -- kestrane-demo: what a match recording holds (info), and whether several
// recordings of one match saw the same world at every Tick (verify).
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/protocol.h"
#include "kestrane_version.h"
#include "platform/text_encoding.h"
#include "platform/timestamped_output.h"
#include "recording/match_verify.h"
#include "recording/recording_file.h"

namespace {

using namespace kestrane;

constexpr std::string_view kUsage =
    "Usage: kestrane-demo info FILE\n"
    "       kestrane-demo verify FILE FILE...\n"
    "       kestrane-demo --help | --version\n"
    "\n"
    "Reads Kestrane match recordings, made with kestrane-client --record, kestrane-server --record\n"
    "or kestrane-bots --record-dir.\n"
    "\n"
    "  info FILE      the recording's source, start, duration, Ticks, players and their names,\n"
    "                 and its packets by type\n"
    "  verify FILE... replays recordings of one match (any mix of client, bot and server\n"
    "                 recordings) and compares their worlds after every Tick, from where each\n"
    "                 starts, for the players each knows. Prints \"in agreement\" and the number\n"
    "                 of ticks compared, or the first Tick, player or bullet and field where two\n"
    "                 differ. Exit status 0 when they agree, 1 when not or when a file cannot\n"
    "                 be read.\n";

std::optional<Recording> load(const std::string& path) {
    std::string error;
    std::optional<Recording> recording = loadRecording(path, error);
    if (!recording) {
        std::fprintf(stderr, "kestrane-demo: %s: %s\n", path.c_str(), error.c_str());
        return std::nullopt;
    }
    if (!recording->problem.empty()) {
        std::fprintf(stderr, "kestrane-demo: %s: %s; using what comes before\n", path.c_str(),
                     recording->problem.c_str());
    }
    return recording;
}

std::string utcText(std::int64_t unixMilliseconds) {
    const std::time_t seconds = static_cast<std::time_t>(unixMilliseconds / 1000);
    const std::tm parts = utcCalendarTime(seconds);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

std::string quotedName(const NameField& name) { return "\"" + cp949ToUtf8(nameText(name)) + "\""; }

std::string typeName(std::uint8_t code) {
    const MessageRow* row = findMessage(code);
    return row != nullptr ? std::string(row->name) : "code " + std::to_string(code);
}

int runInfo(const std::string& path) {
    const std::optional<Recording> recording = load(path);
    if (!recording) {
        return 1;
    }
    std::size_t ticks = 0;
    std::size_t packets = 0;
    std::size_t frames = 0;
    std::uint32_t duration = 0;
    std::optional<RecordingEvent> local;
    std::map<std::uint8_t, NameField> players;  // the latest name each number joined with
    std::map<std::string, std::size_t> byType;
    for (const RecordingEvent& event : recording->events) {
        duration = std::max(duration, event.time);
        switch (event.kind) {
            case RecordingEvent::Kind::LocalPlayer:
                local = event;
                break;
            case RecordingEvent::Kind::Frame:
                ++frames;
                break;
            case RecordingEvent::Kind::Packet: {
                ++packets;
                const PacketRecord& packet = event.packet;
                ++byType[typeName(packet.header.type)];
                if (packet.msgType() == MsgType::Tick) {
                    ++ticks;
                } else if (packet.msgType() == MsgType::Join && payloadReadable(packet) && packet.header.sender != 0) {
                    players[packet.header.sender] = decodePlayerInfo(packet)->name;
                } else if (packet.msgType() == MsgType::PlayerState && payloadReadable(packet) &&
                           packet.header.sender != 0 && !players.contains(packet.header.sender)) {
                    // Who joined before the recording began is known from the state they answer with.
                    players[packet.header.sender] = decodePlayerInfo(packet)->name;
                }
                break;
            }
        }
    }
    const RecordingHeader& header = recording->header;
    std::printf("%s: %.*s recording by Kestrane %s, started %s%s\n", path.c_str(),
                static_cast<int>(sourceName(header.source).size()), sourceName(header.source).data(),
                header.programVersion.c_str(), utcText(header.startTime).c_str(),
                recording->closed ? "" : " (not closed properly)");
    std::printf("duration %.2f s, %zu ticks, %zu packets, %zu frames\n", duration / 1000.0, ticks, packets, frames);
    if (local) {
        std::printf("local player: %u %s\n", local->number, quotedName(local->name).c_str());
    } else {
        std::printf("local player: none (a view of every player)\n");
    }
    std::printf("players: %zu\n", players.size());
    for (const auto& [number, name] : players) {
        std::printf("  %u %s\n", number, quotedName(name).c_str());
    }
    std::printf("packets by type:\n");
    for (const auto& [name, count] : byType) {
        std::printf("  %-14s %zu\n", name.c_str(), count);
    }
    return 0;
}

int runVerify(const std::vector<std::string>& paths) {
    std::vector<NamedRecording> recordings;
    for (const std::string& path : paths) {
        std::optional<Recording> recording = load(path);
        if (!recording) {
            return 1;
        }
        recordings.push_back({path, std::move(*recording)});
    }
    const VerifyResult result = verifyRecordings(recordings);
    const std::string line = describeVerifyResult(result);
    std::printf("%s\n", line.c_str());
    return result.agreed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        std::fputs(kUsage.data(), stderr);
        return 2;
    }
    const std::string& command = arguments.front();
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage.data(), stdout);
        return 0;
    }
    if (command == "--version") {
        std::printf("kestrane-demo %s\n", kVersion);
        return 0;
    }
    if (command == "info" && arguments.size() == 2) {
        return runInfo(arguments[1]);
    }
    if (command == "verify" && arguments.size() >= 3) {
        return runVerify({arguments.begin() + 1, arguments.end()});
    }
    if (command == "verify") {
        std::fprintf(stderr, "kestrane-demo: verify needs two or more recordings of one match\n");
        return 2;
    }
    std::fprintf(stderr, "kestrane-demo: unknown or incomplete command\n\n%s", kUsage.data());
    return 2;
}
