// recording_file.h -- match recordings on disk: what a world applied (packets with their arrival
// times, the local player, the frames and their keys), written as the match goes and read back
// up to the first damage. The layout is described in docs/recording-format.md.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "client/world/key_snapshot.h"
#include "common/frame_timer.h"
#include "common/packet.h"
#include "common/player_info.h"

namespace kestrane {

inline constexpr std::uint16_t kRecordingVersion = 1;

// Who made a recording, and so whose view it holds.
enum class RecordingSource : std::uint8_t {
    Client = 1,  // a player's client: what its world applied, and its frames
    Server = 2,  // the server: everything it relayed, a view of every player
    Bot = 3,     // a bot: what its world applied (no frames)
};
std::string_view sourceName(RecordingSource source);

struct RecordingHeader {
    RecordingSource source = RecordingSource::Client;
    std::string programVersion;  // the recording program's version, at most 255 bytes
    std::int64_t startTime = 0;  // when recording began: milliseconds since 1970-01-01 UTC
};

// One entry of a recording, at `time` milliseconds after its start.
struct RecordingEvent {
    enum class Kind : std::uint8_t {
        Packet = 1,       // `packet` arrived and was applied (a server recording: was sent)
        Frame = 2,        // a frame ran with `keys` held
        LocalPlayer = 3,  // the Welcome made `number` the local player, joining as `name`
    };
    Kind kind = Kind::Packet;
    std::uint32_t time = 0;
    PacketRecord packet{};
    KeyState keys{};
    std::uint8_t number = 0;
    NameField name{};

    static RecordingEvent makePacket(std::uint32_t time, const PacketRecord& packet);
    static RecordingEvent makeFrame(std::uint32_t time, const KeyState& keys);
    static RecordingEvent makeLocalPlayer(std::uint32_t time, std::uint8_t number, const NameField& name);
};

// A recording read back: every event up to the end or up to the first damage.
struct Recording {
    RecordingHeader header;
    std::vector<RecordingEvent> events;
    // Whether the file ends with the end mark written by a recording that was closed properly.
    bool closed = false;
    // Empty when the whole file read; otherwise what stopped the reading and where
    // ("damaged at byte 4096: ...", "cut short at byte ..."). The events before it are kept.
    std::string problem;
};

// Reads a whole recording. Nothing (and `error` says why) when the bytes are no recording, a
// recording of another version, or the header is damaged; otherwise the events read, with
// `problem` set when the file is cut short or damaged further on.
std::optional<Recording> readRecording(std::span<const std::uint8_t> bytes, std::string& error);
// The same from a file; `error` also reports a file that cannot be read.
std::optional<Recording> loadRecording(const std::string& path, std::string& error);

// The file image of a recording: header, every event in one block, and the end mark when
// `closed`. Tests and tools use it to build or rewrite recordings.
std::vector<std::uint8_t> encodeRecording(const RecordingHeader& header, std::span<const RecordingEvent> events,
                                          bool closed = true);

// Writes a recording as the match goes. Events collect in a block that goes to the file,
// with its checksum, once a second (and when it grows large), so a crash loses at most the
// last second. Times are taken from `clock` (seconds) relative to when the writer opened.
// One thread at a time: the thread that applies the packets (or, on the server, relays them).
class RecordingWriter {
public:
    static constexpr double kFlushInterval = 1.0;             // seconds
    static constexpr std::size_t kMaxBlockBytes = 64 * 1024;  // a busy server writes sooner

    explicit RecordingWriter(FrameTimer::Clock clock = secondsSinceStart);
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // Creates (or empties) `path` and writes the header with this program's version and the
    // time now. False with `error` set when the file cannot be written.
    bool open(const std::string& path, RecordingSource source, std::string& error);
    bool isOpen() const { return file_ != nullptr; }

    void writePacket(const PacketRecord& packet);
    void writeFrame(const KeyState& keys);
    void writeLocalPlayer(std::uint8_t number, const NameField& name);
    // Writes what is waiting, the end mark, and closes the file. Also done by the destructor.
    void close();
    // False once a write to the file has failed (the disk is full, ...); the writer then
    // stops writing, and the game goes on.
    bool healthy() const { return healthy_; }

private:
    void append(const RecordingEvent& event);
    void flushBlock();

    FrameTimer::Clock clock_;
    std::FILE* file_ = nullptr;
    double openedAt_ = 0;
    double lastFlush_ = 0;
    bool healthy_ = true;
    std::vector<std::uint8_t> block_;
};

// CRC-32 (the polynomial of zip and PNG) of `bytes`.
std::uint32_t crc32(std::span<const std::uint8_t> bytes);

}  // namespace kestrane
