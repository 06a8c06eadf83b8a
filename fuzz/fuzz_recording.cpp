// fuzz_recording.cpp -- any file as a match recording: the reader either refuses it or gives
// events that write back and read again the same, and playing them through a world (as
// kestrane-client --play and kestrane-demo verify do) holds no surprise either.
//
// Input: byte 0 chooses. Even: the rest is the file itself. Odd: the rest is the body of one
// block, given a good header and checksum here, so that the events themselves are fuzzed
// rather than the checksum that guards them.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "client/world/world_state.h"
#include "fuzz/fuzz_support.h"
#include "recording/recording_file.h"
#include "recording/replay.h"

namespace kestrane::fuzz {
namespace {

// Events played per input at most: enough to reach every handler, few enough to stay quick.
constexpr std::size_t kMaxPlayed = 4096;

void checkRoundTrip(const Recording& recording) {
    std::string error;
    const std::optional<Recording> again =
        readRecording(encodeRecording(recording.header, recording.events, recording.closed), error);
    FUZZ_CHECK(again.has_value(), "what was read writes back into a readable file");
    FUZZ_CHECK(again->events.size() == recording.events.size(), "every event read writes back");
    FUZZ_CHECK(again->closed == recording.closed, "the end mark writes back");
    FUZZ_CHECK(again->problem.empty() == recording.closed, "a rewritten file is whole, and says whether it was closed");
    FUZZ_CHECK(again->header.programVersion == recording.header.programVersion &&
                   again->header.startTime == recording.header.startTime && again->header.source == recording.header.source,
               "the header writes back");
    for (std::size_t i = 0; i < recording.events.size(); ++i) {
        const RecordingEvent& a = recording.events[i];
        const RecordingEvent& b = again->events[i];
        FUZZ_CHECK(a.kind == b.kind && a.time == b.time, "each event keeps its kind and time");
        if (a.kind == RecordingEvent::Kind::Packet) {
            const auto x = a.packet.wireBytes();
            const auto y = b.packet.wireBytes();
            FUZZ_CHECK(std::equal(x.begin(), x.end(), y.begin(), y.end()), "each packet keeps its bytes");
        }
    }
}

void play(const Recording& recording) {
    Replay replay(recording, [] { return 0.0; });
    for (std::size_t played = 0; played < kMaxPlayed && !replay.finished(); ++played) {
        replay.step(true);
        FUZZ_CHECK(replay.world().outbox.packets.empty(), "playback sends nothing");
        replay.world().outbox.clear();
    }
    (void)worldStateHash(replay.world());
}

}  // namespace
}  // namespace kestrane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrane;
    if (size == 0) {
        return 0;
    }
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    std::vector<std::uint8_t> file;
    if ((data[0] & 1) != 0) {
        file = encodeRecording({RecordingSource::Client, "fuzz", 0}, {}, false);
        const auto length = static_cast<std::uint32_t>(rest.size());
        const std::uint32_t check = crc32(rest);
        for (const std::uint32_t value : {length, check}) {
            for (int shift = 0; shift < 32; shift += 8) {
                file.push_back(static_cast<std::uint8_t>(value >> shift));
            }
        }
        file.insert(file.end(), rest.begin(), rest.end());
    } else {
        file.assign(rest.begin(), rest.end());
    }
    std::string error;
    const std::optional<Recording> recording = readRecording(file, error);
    if (!recording) {
        FUZZ_CHECK(!error.empty(), "a refused file says why");
        return 0;
    }
    fuzz::checkRoundTrip(*recording);
    fuzz::play(*recording);
    return 0;
}
