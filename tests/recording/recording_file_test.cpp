// recording_file_test.cpp -- the recording format: what is written reads back the same, a file
// cut or damaged anywhere plays up to the damage and says so, another version is refused, and
// the writer puts each second on disk as the match goes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "common/protocol.h"
#include "kestrane_version.h"
#include "platform/clock.h"
#include "recording/recording_file.h"
#include "tests/media/test_files.h"

namespace kestrane::testing {
namespace {

std::vector<RecordingEvent> sampleEvents() {
    KeyState keys{};
    setKeyDown(keys, kKeyUp, true);
    setKeyDown(keys, kKeySpace, true);
    setKeyDown(keys, kKeyDown, true);  // an extended key (bit 7 of the code set)
    PlayerInfo info;
    info.energy = 100;
    info.x = 300;
    info.y = -2;
    info.name = makeNameField("한글 name");
    PacketRecord join = makePacket(2, MsgType::Join, info.encode());
    const std::vector<std::uint8_t> fullChat(kPayloadCapacity, 'z');
    return {
        RecordingEvent::makeLocalPlayer(0, 2, makeNameField("golden")),
        RecordingEvent::makePacket(3, join),
        RecordingEvent::makePacket(50, makePacket(0, MsgType::Tick)),
        RecordingEvent::makeFrame(51, keys),
        RecordingEvent::makeFrame(84, KeyState{}),
        RecordingEvent::makePacket(90, makeFirePacket(2, 17, 250, 260, kShot, 3)),
        RecordingEvent::makePacket(91, makePacket(3, MsgType::Chat, fullChat)),
        RecordingEvent::makePacket(4'000'000'000u, makePacket(9, static_cast<MsgType>(200))),  // an unused code
    };
}

void expectSameEvents(const std::vector<RecordingEvent>& got, const std::vector<RecordingEvent>& want, std::size_t count) {
    ASSERT_GE(want.size(), count);
    ASSERT_EQ(got.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
        SCOPED_TRACE("event " + std::to_string(i));
        EXPECT_EQ(got[i].kind, want[i].kind);
        EXPECT_EQ(got[i].time, want[i].time);
        switch (want[i].kind) {
            case RecordingEvent::Kind::Packet: {
                const auto a = got[i].packet.wireBytes();
                const auto b = want[i].packet.wireBytes();
                EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));
                break;
            }
            case RecordingEvent::Kind::Frame:
                EXPECT_EQ(got[i].keys, want[i].keys);
                break;
            case RecordingEvent::Kind::LocalPlayer:
                EXPECT_EQ(got[i].number, want[i].number);
                EXPECT_EQ(got[i].name, want[i].name);
                break;
        }
    }
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const RecordingHeader kHeader{RecordingSource::Bot, "9.8.7", 1'796'000'000'123};

TEST(RecordingFile, EveryEventAndTheHeaderReadBackAsWritten) {
    const std::vector<RecordingEvent> events = sampleEvents();
    for (const bool closed : {true, false}) {
        std::string error;
        const std::optional<Recording> read = readRecording(encodeRecording(kHeader, events, closed), error);
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(read->header.source, RecordingSource::Bot);
        EXPECT_EQ(read->header.programVersion, "9.8.7");
        EXPECT_EQ(read->header.startTime, 1'796'000'000'123);
        EXPECT_EQ(read->closed, closed);
        // Without the end mark the events are all there, but the file says it was not closed.
        EXPECT_EQ(read->problem.empty(), closed) << read->problem;
        expectSameEvents(read->events, events, events.size());
    }
}

TEST(RecordingFile, ACutOrDamagedFilePlaysUpToTheDamageAndSaysSo) {
    // Three blocks, as a writer makes them a second apart: the events of whole blocks before
    // the damage survive, nothing after it is taken.
    const std::vector<RecordingEvent> events = sampleEvents();
    std::vector<std::uint8_t> file = encodeRecording(kHeader, {}, false);
    const std::size_t headerSize = file.size();
    std::vector<std::size_t> blockEnds;
    std::vector<std::size_t> eventsBefore;
    for (const std::size_t cut : {std::size_t{3}, std::size_t{6}, events.size()}) {
        const std::size_t from = eventsBefore.empty() ? 0 : eventsBefore.back();
        const std::vector<RecordingEvent> part(events.begin() + static_cast<std::ptrdiff_t>(from),
                                               events.begin() + static_cast<std::ptrdiff_t>(cut));
        const std::vector<std::uint8_t> block = encodeRecording(kHeader, part, cut == events.size());
        file.insert(file.end(), block.begin() + static_cast<std::ptrdiff_t>(headerSize), block.end());
        blockEnds.push_back(file.size());
        eventsBefore.push_back(cut);
    }
    auto wholeBlocksBefore = [&](std::size_t byte) {
        std::size_t count = 0;
        for (std::size_t b = 0; b < blockEnds.size(); ++b) {
            if (blockEnds[b] <= byte) {
                count = eventsBefore[b];
            }
        }
        return count;
    };

    for (std::size_t length = headerSize; length < file.size(); ++length) {
        SCOPED_TRACE("cut to " + std::to_string(length) + " bytes");
        std::string error;
        const std::optional<Recording> read =
            readRecording(std::span(file).first(length), error);
        ASSERT_TRUE(read) << error;
        EXPECT_FALSE(read->problem.empty());
        EXPECT_FALSE(read->closed);
        expectSameEvents(read->events, events, wholeBlocksBefore(length));
    }
    for (std::size_t at = headerSize; at < file.size(); ++at) {
        SCOPED_TRACE("byte " + std::to_string(at) + " changed");
        std::vector<std::uint8_t> damaged = file;
        damaged[at] ^= 0x40;
        std::string error;
        const std::optional<Recording> read = readRecording(damaged, error);
        ASSERT_TRUE(read) << error;
        EXPECT_FALSE(read->problem.empty());
        // The block holding the changed byte, and everything after it, is left out.
        expectSameEvents(read->events, events, wholeBlocksBefore(at));
    }
}

TEST(RecordingFile, OtherVersionsAndOtherFilesAreRefusedWithAReason) {
    const std::vector<std::uint8_t> good = encodeRecording(kHeader, sampleEvents());
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::string reason;
    };
    std::vector<Case> cases;
    std::vector<std::uint8_t> newer = good;
    newer[8] = 2;  // the version field, right after the magic
    cases.push_back({newer, "a recording of format version 2; this program reads version 1 only"});
    std::vector<std::uint8_t> older = good;
    older[8] = 0;
    cases.push_back({older, "format version 0"});
    cases.push_back({{'G', 'I', 'F', '8', '9', 'a', 0, 0, 1, 0}, "not a Kestrane recording"});
    cases.push_back({{}, "not a Kestrane recording"});
    cases.push_back({std::vector<std::uint8_t>(good.begin(), good.begin() + 14), "header is cut short"});
    std::vector<std::uint8_t> header = good;
    header[12] ^= 1;  // inside the start time
    cases.push_back({header, "header is damaged"});
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(readRecording(c.bytes, error)) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    std::string error;
    EXPECT_FALSE(loadRecording("/nonexistent/match.krec", error));
    EXPECT_NE(error.find("cannot open /nonexistent/match.krec"), std::string::npos) << error;
}

TEST(RecordingFile, TheWriterPutsEachSecondOnDiskAndAClosedFileEndsWithItsMark) {
    TempDir directory;
    const std::string path = directory.file("match.krec");
    ManualClock clock(100);
    RecordingWriter writer(clock.clock());
    std::string error;
    ASSERT_TRUE(writer.open(path, RecordingSource::Client, error)) << error;
    writer.writeLocalPlayer(4, makeNameField("kim"));
    clock.advance(0.5);
    writer.writePacket(makePacket(0, MsgType::Tick));

    // Nothing but the header yet: the half second is still in the writer.
    std::optional<Recording> read = readRecording(readBytes(path), error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->header.source, RecordingSource::Client);
    EXPECT_EQ(read->header.programVersion, std::string(kVersion));
    EXPECT_TRUE(read->events.empty());

    // A second after the last write, the next event takes everything to the file: a crash
    // now would lose nothing of it.
    clock.advance(0.6);
    writer.writePacket(makeSteerPacket(4, SteerCode::Forward));
    read = readRecording(readBytes(path), error);
    ASSERT_TRUE(read) << error;
    ASSERT_EQ(read->events.size(), 3u);
    EXPECT_EQ(read->events[1].time, 500u);
    EXPECT_EQ(read->events[2].time, 1100u);
    EXPECT_FALSE(read->closed);
    EXPECT_NE(read->problem.find("without its end mark"), std::string::npos) << read->problem;

    clock.advance(0.2);
    writer.writeFrame(KeyState{});
    writer.close();
    read = readRecording(readBytes(path), error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->events.size(), 4u);
    EXPECT_TRUE(read->closed);
    EXPECT_TRUE(read->problem.empty()) << read->problem;

    RecordingWriter nowhere;
    EXPECT_FALSE(nowhere.open(directory.file("no/such/dir/x.krec"), RecordingSource::Server, error));
    EXPECT_NE(error.find("cannot write the recording"), std::string::npos);
    nowhere.writePacket(makePacket(0, MsgType::Tick));  // a writer that is not open takes nothing
}

}  // namespace
}  // namespace kestrane::testing
