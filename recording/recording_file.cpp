// recording_file.cpp -- the recording file layout: header, checksummed blocks of events, end mark.
#include "recording/recording_file.h"

#include <array>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>

#include "common/little_endian.h"
#include "kestrane_version.h"

namespace kestrane {

namespace {

constexpr std::array<std::uint8_t, 8> kMagic = {'K', 'S', 'T', 'R', 'N', 'R', 'E', 'C'};
constexpr std::uint8_t kEndMark = 0xFF;           // the last event of a recording closed properly
constexpr std::size_t kBlockHead = 8;             // length and checksum
constexpr std::size_t kEventHead = 5;             // kind and time
constexpr std::uint32_t kMaxBlock = 16u << 20;    // no writer makes larger blocks
constexpr std::size_t kLocalPlayerBody = 1 + kNameFieldSize;

using Bytes = std::vector<std::uint8_t>;

void putU16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
void putU32(Bytes& out, std::uint32_t value) {
    putU16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    putU16(out, static_cast<std::uint16_t>(value >> 16));
}

void encodeHeader(Bytes& out, const RecordingHeader& header) {
    out.insert(out.end(), kMagic.begin(), kMagic.end());
    putU16(out, kRecordingVersion);
    out.push_back(static_cast<std::uint8_t>(header.source));
    const auto start = static_cast<std::uint64_t>(header.startTime);
    putU32(out, static_cast<std::uint32_t>(start & 0xFFFFFFFFu));
    putU32(out, static_cast<std::uint32_t>(start >> 32));
    const std::size_t length = std::min<std::size_t>(header.programVersion.size(), 255);
    out.push_back(static_cast<std::uint8_t>(length));
    out.insert(out.end(), header.programVersion.begin(), header.programVersion.begin() + static_cast<std::ptrdiff_t>(length));
    putU32(out, crc32(out));
}

void encodeEvent(Bytes& out, const RecordingEvent& event) {
    out.push_back(static_cast<std::uint8_t>(event.kind));
    putU32(out, event.time);
    switch (event.kind) {
        case RecordingEvent::Kind::Packet: {
            const auto bytes = event.packet.wireBytes();
            out.insert(out.end(), bytes.begin(), bytes.end());
            break;
        }
        case RecordingEvent::Kind::Frame: {
            const std::size_t countAt = out.size();
            out.push_back(0);
            for (int code = 0; code < static_cast<int>(event.keys.size()); ++code) {
                if (isKeyDown(event.keys, code) != 0) {
                    out.push_back(static_cast<std::uint8_t>(code));
                    ++out[countAt];
                }
            }
            break;
        }
        case RecordingEvent::Kind::LocalPlayer:
            out.push_back(event.number);
            out.insert(out.end(), event.name.begin(), event.name.end());
            break;
    }
}

void encodeBlock(Bytes& out, std::span<const std::uint8_t> body) {
    putU32(out, static_cast<std::uint32_t>(body.size()));
    putU32(out, crc32(body));
    out.insert(out.end(), body.begin(), body.end());
}

// Reads the events of one block; false at the first one that does not parse.
bool decodeBlock(std::span<const std::uint8_t> body, Recording& recording, std::string& why) {
    std::size_t at = 0;
    while (at < body.size()) {
        const std::uint8_t kind = body[at];
        if (kind == kEndMark) {
            recording.closed = true;
            return true;
        }
        if (body.size() - at < kEventHead) {
            why = "an event is cut off";
            return false;
        }
        RecordingEvent event;
        event.time = readU32(&body[at + 1]);
        at += kEventHead;
        const std::size_t left = body.size() - at;
        switch (static_cast<RecordingEvent::Kind>(kind)) {
            case RecordingEvent::Kind::Packet: {
                if (left < kHeaderSize || body[at + 3] > kPayloadCapacity || left < kHeaderSize + body[at + 3]) {
                    why = "a packet is cut off or longer than any packet";
                    return false;
                }
                event.kind = RecordingEvent::Kind::Packet;
                event.packet.header = {body[at], body[at + 1], body[at + 2], body[at + 3]};
                std::copy_n(body.data() + at + kHeaderSize, body[at + 3], event.packet.payload.begin());
                at += kHeaderSize + body[at + 3];
                break;
            }
            case RecordingEvent::Kind::Frame: {
                if (left < 1 || left < 1u + body[at]) {
                    why = "a frame's keys are cut off";
                    return false;
                }
                event.kind = RecordingEvent::Kind::Frame;
                for (std::size_t k = 0; k < body[at]; ++k) {
                    setKeyDown(event.keys, body[at + 1 + k], true);
                }
                at += 1u + body[at];
                break;
            }
            case RecordingEvent::Kind::LocalPlayer:
                if (left < kLocalPlayerBody) {
                    why = "the local player is cut off";
                    return false;
                }
                event.kind = RecordingEvent::Kind::LocalPlayer;
                event.number = body[at];
                std::copy_n(body.data() + at + 1, kNameFieldSize, reinterpret_cast<std::uint8_t*>(event.name.data()));
                at += kLocalPlayerBody;
                break;
            default:
                why = "an event of unknown kind " + std::to_string(kind);
                return false;
        }
        recording.events.push_back(event);
    }
    return true;
}

std::int64_t unixMillisecondsNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::string_view sourceName(RecordingSource source) {
    switch (source) {
        case RecordingSource::Client:
            return "client";
        case RecordingSource::Server:
            return "server";
        case RecordingSource::Bot:
            return "bot";
    }
    return "unknown";
}

RecordingEvent RecordingEvent::makePacket(std::uint32_t time, const PacketRecord& packet) {
    RecordingEvent event;
    event.kind = Kind::Packet;
    event.time = time;
    event.packet = packet;
    return event;
}

RecordingEvent RecordingEvent::makeFrame(std::uint32_t time, const KeyState& keys) {
    RecordingEvent event;
    event.kind = Kind::Frame;
    event.time = time;
    event.keys = keys;
    return event;
}

RecordingEvent RecordingEvent::makeLocalPlayer(std::uint32_t time, std::uint8_t number, const NameField& name) {
    RecordingEvent event;
    event.kind = Kind::LocalPlayer;
    event.time = time;
    event.number = number;
    event.name = name;
    return event;
}

std::uint32_t crc32(std::span<const std::uint8_t> bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            entries[n] = c;
        }
        return entries;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : bytes) {
        crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

std::optional<Recording> readRecording(std::span<const std::uint8_t> bytes, std::string& error) {
    if (bytes.size() < kMagic.size() + 2 || !std::equal(kMagic.begin(), kMagic.end(), bytes.begin())) {
        error = "not a Kestrane recording";
        return std::nullopt;
    }
    const std::uint16_t version = readU16(&bytes[kMagic.size()]);
    if (version != kRecordingVersion) {
        error = "a recording of format version " + std::to_string(version) + "; this program reads version " +
                std::to_string(kRecordingVersion) + " only";
        return std::nullopt;
    }
    constexpr std::size_t kFixedHeader = 8 + 2 + 1 + 8 + 1;
    if (bytes.size() < kFixedHeader || bytes.size() < kFixedHeader + bytes[kFixedHeader - 1] + 4) {
        error = "the recording's header is cut short";
        return std::nullopt;
    }
    const std::size_t headerSize = kFixedHeader + bytes[kFixedHeader - 1];
    if (crc32(bytes.first(headerSize)) != readU32(&bytes[headerSize])) {
        error = "the recording's header is damaged";
        return std::nullopt;
    }
    Recording recording;
    const std::uint8_t source = bytes[10];
    if (source < static_cast<std::uint8_t>(RecordingSource::Client) || source > static_cast<std::uint8_t>(RecordingSource::Bot)) {
        error = "the recording names an unknown source " + std::to_string(source);
        return std::nullopt;
    }
    recording.header.source = static_cast<RecordingSource>(source);
    recording.header.startTime =
        static_cast<std::int64_t>(readU32(&bytes[11]) | (static_cast<std::uint64_t>(readU32(&bytes[15])) << 32));
    recording.header.programVersion.assign(reinterpret_cast<const char*>(&bytes[kFixedHeader]), bytes[kFixedHeader - 1]);

    std::size_t at = headerSize + 4;
    while (at < bytes.size() && !recording.closed) {
        const std::size_t left = bytes.size() - at;
        if (left < kBlockHead || left - kBlockHead < readU32(&bytes[at])) {
            recording.problem = "cut short at byte " + std::to_string(at) + " (the last second or so is lost)";
            return recording;
        }
        const std::uint32_t length = readU32(&bytes[at]);
        const auto body = bytes.subspan(at + kBlockHead, length);
        std::string why;
        if (length > kMaxBlock || crc32(body) != readU32(&bytes[at + 4])) {
            recording.problem = "damaged at byte " + std::to_string(at) + ": a block's checksum does not match";
            return recording;
        }
        if (!decodeBlock(body, recording, why)) {
            recording.problem = "damaged at byte " + std::to_string(at) + ": " + why;
            return recording;
        }
        at += kBlockHead + length;
    }
    if (!recording.closed) {
        recording.problem = "ends without its end mark at byte " + std::to_string(at) +
                            " (the recording program stopped before closing it)";
    }
    return recording;
}

std::optional<Recording> loadRecording(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return std::nullopt;
    }
    const Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    return readRecording(bytes, error);
}

std::vector<std::uint8_t> encodeRecording(const RecordingHeader& header, std::span<const RecordingEvent> events,
                                          bool closed) {
    Bytes out;
    encodeHeader(out, header);
    Bytes body;
    for (const RecordingEvent& event : events) {
        encodeEvent(body, event);
    }
    if (closed) {
        body.push_back(kEndMark);
    }
    if (!body.empty()) {
        encodeBlock(out, body);
    }
    return out;
}

RecordingWriter::RecordingWriter(FrameTimer::Clock clock) : clock_(std::move(clock)) {}

RecordingWriter::~RecordingWriter() { close(); }

bool RecordingWriter::open(const std::string& path, RecordingSource source, std::string& error) {
    close();
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        error = "cannot write the recording " + path;
        return false;
    }
    Bytes header;
    encodeHeader(header, {source, kVersion, unixMillisecondsNow()});
    healthy_ = std::fwrite(header.data(), 1, header.size(), file_) == header.size() && std::fflush(file_) == 0;
    if (!healthy_) {
        error = "cannot write the recording " + path;
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    openedAt_ = clock_();
    lastFlush_ = openedAt_;
    block_.clear();
    return true;
}

void RecordingWriter::writePacket(const PacketRecord& packet) { append(RecordingEvent::makePacket(0, packet)); }

void RecordingWriter::writeFrame(const KeyState& keys) { append(RecordingEvent::makeFrame(0, keys)); }

void RecordingWriter::writeLocalPlayer(std::uint8_t number, const NameField& name) {
    append(RecordingEvent::makeLocalPlayer(0, number, name));
}

void RecordingWriter::append(const RecordingEvent& event) {
    if (file_ == nullptr || !healthy_) {
        return;
    }
    const double now = clock_();
    RecordingEvent stamped = event;
    stamped.time = static_cast<std::uint32_t>(std::llround(std::max(0.0, now - openedAt_) * 1000.0));
    encodeEvent(block_, stamped);
    if (now - lastFlush_ >= kFlushInterval || block_.size() >= kMaxBlockBytes) {
        flushBlock();
        lastFlush_ = now;
    }
}

void RecordingWriter::flushBlock() {
    if (block_.empty() || file_ == nullptr || !healthy_) {
        return;
    }
    Bytes out;
    out.reserve(block_.size() + kBlockHead);
    encodeBlock(out, block_);
    block_.clear();
    healthy_ = std::fwrite(out.data(), 1, out.size(), file_) == out.size() && std::fflush(file_) == 0;
}

void RecordingWriter::close() {
    if (file_ == nullptr) {
        return;
    }
    if (healthy_) {
        block_.push_back(kEndMark);
        flushBlock();
    }
    std::fclose(file_);
    file_ = nullptr;
}

}  // namespace kestrane
