// make_seeds.cpp -- kestrane-fuzz-seeds: writes the starting inputs of every fuzz target, made
// from code so that no binary input is kept in the repository.
//
// Usage: kestrane-fuzz-seeds OUT_DIR [DATA_DIR]
// Writes OUT_DIR/<target>/<name> for the targets stream_reader, sprite_set, wav, dispatcher,
// server, status_datagram and recording.
// DATA_DIR, when given, is where the build put the game's data files; its small sprite set
// and sounds are taken as seeds too.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/packet.h"
#include "common/player_info.h"
#include "common/protocol.h"
#include "common/status_datagram.h"
#include "recording/recording_file.h"
#include "tests/media/test_files.h"

namespace {

using namespace kestrane;
using kestrane::testing::Bytes;
namespace fs = std::filesystem;

void append(Bytes& bytes, const PacketRecord& record) {
    const auto wire = record.wireBytes();
    bytes.insert(bytes.end(), wire.begin(), wire.end());
}

PacketRecord info(std::uint8_t sender, MsgType type, int x, int y, std::uint8_t direction, const char* name,
                  std::uint8_t energy = 100) {
    PlayerInfo player;
    player.energy = energy;
    player.direction = direction;
    player.frame = static_cast<std::uint8_t>(direction * 3);
    player.x = static_cast<std::int16_t>(x);
    player.y = static_cast<std::int16_t>(y);
    player.name = makeNameField(name);
    return makePacket(sender, type, player.encode());
}

PacketRecord fire(std::uint8_t sender, std::uint16_t id, int x, int y, std::uint8_t kind, std::uint8_t direction) {
    return makeFirePacket(sender, id, static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y), kind, direction);
}

PacketRecord bytesPacket(std::uint8_t sender, MsgType type, std::initializer_list<std::uint8_t> payload) {
    return makePacket(sender, type, std::vector<std::uint8_t>(payload));
}

PacketRecord chat(std::uint8_t sender, const std::string& text) {
    return makePacket(sender, MsgType::Chat, std::vector<std::uint8_t>(text.begin(), text.end()));
}

PacketRecord header(std::uint8_t sender, MsgType type) { return makePacket(sender, type); }

// A game as the server relays it to player 1: its own join, a second player, moves, shots,
// a hit, chat, ticks, a leave and the server's end.
Bytes gameStream() {
    Bytes stream;
    append(stream, info(1, MsgType::Join, 300, 300, 0, "one"));
    append(stream, info(2, MsgType::Join, 330, 300, 6, "\xC0\xCC\xB8\xA7"));  // a Korean name
    append(stream, info(2, MsgType::PlayerState, 330, 300, 6, "\xC0\xCC\xB8\xA7"));
    append(stream, header(1, MsgType::Resume));
    append(stream, bytesPacket(2, MsgType::Steer, {static_cast<std::uint8_t>(SteerCode::Forward)}));
    append(stream, bytesPacket(1, MsgType::Steer, {static_cast<std::uint8_t>(SteerCode::TurnRight)}));
    for (int tick = 0; tick < 3; ++tick) {
        append(stream, header(0, MsgType::Tick));
    }
    append(stream, header(2, MsgType::Stop));
    append(stream, fire(2, 0, 310, 302, 0, 6));
    append(stream, fire(1, 1, 302, 320, 1, 2));
    append(stream, header(0, MsgType::Tick));
    append(stream, header(0, MsgType::Tick));
    append(stream, bytesPacket(1, MsgType::Hit, {0, 0}));
    append(stream, bytesPacket(2, MsgType::SetPosition, {0x40, 0x01, 0x2C, 0x01}));
    append(stream, chat(2, "[\xC0\xCC\xB8\xA7] hello"));
    append(stream, header(0, MsgType::Tick));
    append(stream, header(2, MsgType::Leave));
    append(stream, header(0, MsgType::ServerClosing));
    return stream;
}

// Damage from the wire: stray bytes, an over-long payload, unknown and short messages, a
// player that dies, and a stream that ends inside a packet.
Bytes roughStream() {
    Bytes stream = {0x00, 0x13, 0xAA, 0x05, 0x07, 0x00};  // two stray bytes, then a Stop
    append(stream, info(3, MsgType::Join, 200, 200, 9, "nine", 7));
    PacketRecord overlong = chat(3, std::string(51, 'x'));
    overlong.header.length = 255;
    append(stream, overlong);
    stream.insert(stream.end(), 255 - 51, 'y');
    append(stream, header(3, static_cast<MsgType>(200)));
    append(stream, bytesPacket(3, MsgType::Hit, {0x65}));  // one byte short
    append(stream, fire(4, 101, 605, 300, 0, 2));
    append(stream, fire(4, 101, 300, 300, 7, 9));  // an unknown kind
    append(stream, bytesPacket(4, MsgType::Steer, {0xFF}));
    append(stream, header(0, MsgType::Tick));
    append(stream, info(3, MsgType::PlayerState, -5, 70000, 200, "", 0));
    stream.insert(stream.end(), {0xAA, 0x03, 0x01, 0x20, 0x64});  // a Join cut short
    return stream;
}

class SeedWriter {
public:
    explicit SeedWriter(fs::path root) : root_(std::move(root)) {}

    // Where seed `name` of `target` goes; counts it as written.
    std::string pathFor(const std::string& target, const std::string& name) {
        fs::create_directories(root_ / target);
        ++written_;
        return (root_ / target / name).string();
    }
    void write(const std::string& target, const std::string& name, const Bytes& bytes) {
        testing::writeFile(pathFor(target, name), bytes);
    }
    void copy(const std::string& target, const fs::path& file) {
        std::error_code error;
        if (fs::exists(file, error)) {
            fs::create_directories(root_ / target);
            fs::copy_file(file, root_ / target / file.filename(), fs::copy_options::overwrite_existing, error);
            written_ += error ? 0 : 1;
        }
    }
    int written() const { return written_; }

private:
    fs::path root_;
    int written_ = 0;
};

// The stream reader: a read-size prefix (count, then sizes - 1), then the stream.
void streamSeeds(SeedWriter& out) {
    const auto seed = [&](const std::string& name, std::initializer_list<std::uint8_t> sizes, const Bytes& stream) {
        Bytes bytes = {static_cast<std::uint8_t>(sizes.size())};
        bytes.insert(bytes.end(), sizes.begin(), sizes.end());
        bytes.insert(bytes.end(), stream.begin(), stream.end());
        out.write("stream_reader", name, bytes);
    };
    seed("game-whole", {}, gameStream());
    seed("game-in-small-reads", {0, 1, 6}, gameStream());
    seed("rough-byte-by-byte", {0}, roughStream());
    seed("rough-in-odd-reads", {2, 34, 54, 254}, roughStream());
}

void spriteSeeds(SeedWriter& out, const fs::path& dataDir) {
    using testing::SpriteFileBuilder;
    const auto bytesOf = [](const SpriteFileBuilder& builder) { return builder.bytes(); };
    out.write("sprite_set", "eight-bit",
              bytesOf(SpriteFileBuilder(2, 8)
                          .palette({{0, 0, 0}, {255, 0, 255}, {10, 200, 30}})
                          .frame(1, 1, {{0, 1, 2}, {2, 1, 0}})
                          .frame(2, 0, {{1, 1, 1, 1, 2}})));
    out.write("sprite_set", "sixteen-bit",
              bytesOf(SpriteFileBuilder(2, 16).frame(1, 1, {{0x7C00, 0x03E0, 0x001F}, {0, 0x7FFF, 0x8000}}).frame(0, 0, {{0x1234}})));
    out.write("sprite_set", "twenty-four-bit",
              bytesOf(SpriteFileBuilder(3, 24)
                          .frame(1, 1, {{0xFF0000, 0x00FF00, 0x0000FF}})
                          .frame(2, 2, {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}})
                          .frame(-3, 70000, {{0xFFFFFF}})));
    out.write("sprite_set", "no-frames", bytesOf(SpriteFileBuilder(0, 16)));
    out.write("sprite_set", "negative-count", bytesOf(SpriteFileBuilder(-2, 24).frame(0, 0, {{1}})));
    SpriteFileBuilder many(8, 16);
    for (int i = 0; i < 8; ++i) {
        many.frame(i, i, {{static_cast<std::uint32_t>(0x1111 * i), 0x7FFF}});
    }
    out.write("sprite_set", "more-than-capacity", many.bytes());
    Bytes cut = bytesOf(SpriteFileBuilder(2, 24).frame(1, 1, {{1, 2}, {3, 4}}).frame(1, 1, {{1, 2}, {3, 4}}));
    cut.resize(cut.size() - 5);
    out.write("sprite_set", "cut-short", cut);
    out.write("sprite_set", "huge-frame-header", bytesOf(SpriteFileBuilder(1, 24).rawFrameHeader(4096, 4096, 0, 0)));
    if (!dataDir.empty()) {
        out.copy("sprite_set", dataDir / "bullet.Spr");
    }
}

void waveSeeds(SeedWriter& out, const fs::path& dataDir) {
    using testing::WaveFields;
    const auto wave = [&](const std::string& name, const WaveFields& fields, const Bytes& samples) {
        testing::writeWave(out.pathFor("wav", name), fields, samples);
    };
    Bytes ramp;
    for (int i = 0; i < 64; ++i) {
        ramp.push_back(static_cast<std::uint8_t>(i * 4));
    }
    wave("mono-8-bit", {1, 11025, 1, 8, 0}, ramp);
    wave("stereo-16-bit", {2, 22050, 4, 16, 0}, ramp);
    wave("no-channels", {0, 44100, 2, 16, 0}, ramp);
    wave("announces-more-than-it-holds", {1, 8000, 1, 8, 4096}, ramp);
    wave("six-channels-24-bit", {6, 48000, 18, 24, 0}, ramp);
    if (!dataDir.empty()) {
        out.copy("wav", dataDir / "1.wav");
        out.copy("wav", dataDir / "3.wav");
    }
}

// The dispatcher: local player number, the keys of even and odd frames, then the stream.
void dispatcherSeeds(SeedWriter& out) {
    const auto seed = [&](const std::string& name, std::uint8_t local, std::uint8_t evenKeys, std::uint8_t oddKeys,
                          const Bytes& stream) {
        Bytes bytes = {local, evenKeys, oddKeys};
        bytes.insert(bytes.end(), stream.begin(), stream.end());
        out.write("dispatcher", name, bytes);
    };
    seed("game-watching", 1, 0x00, 0x00, gameStream());
    seed("game-fighting", 1, 0x07, 0x30, gameStream());  // fire, mine and walk; then turn both ways
    seed("game-as-the-other-player", 2, 0x0B, 0x40, gameStream());
    seed("rough", 3, 0xC1, 0x3E, roughStream());
}

// The server: the piece size (255: 256 bytes per turn), which players hang up, then each
// player's turns, every turn filled to 256 bytes with stray zero bytes.
void serverSeeds(SeedWriter& out) {
    const auto turn = [](Bytes& input, std::initializer_list<PacketRecord> packets) {
        Bytes bytes;
        for (const PacketRecord& packet : packets) {
            append(bytes, packet);
        }
        bytes.resize(256, 0);
        input.insert(input.end(), bytes.begin(), bytes.end());
    };
    Bytes game = {255, 0x04};  // player 3 hangs up at the end
    turn(game, {info(1, MsgType::Join, 120, 140, 0, "one"), chat(1, "[one] hi")});
    turn(game, {info(2, MsgType::Join, 220, 240, 2, "two")});
    turn(game, {info(3, MsgType::Join, 320, 340, 4, "\xC0\xCC\xB8\xA7"), fire(3, 0, 330, 350, 0, 4)});
    turn(game, {info(1, MsgType::PlayerState, 120, 140, 0, "one"), fire(1, 0, 100, 100, 1, 0)});
    turn(game, {info(2, MsgType::PlayerState, 220, 240, 2, "two"), bytesPacket(2, MsgType::Steer, {2}),
                bytesPacket(2, MsgType::Hit, {1, 0})});
    turn(game, {header(1, MsgType::Leave), header(3, MsgType::Tick), header(3, MsgType::Stop),
                bytesPacket(3, MsgType::SetPosition, {1, 2, 3, 4})});
    turn(game, {header(1, MsgType::Stop)});
    turn(game, {header(2, MsgType::Leave)});
    out.write("server", "three-players", game);

    Bytes rough = {0, 0x01};  // one byte per turn; player 1 hangs up
    const Bytes stream = roughStream();
    rough.insert(rough.end(), stream.begin(), stream.end());
    out.write("server", "rough-byte-by-byte", rough);
}

// Status datagrams: queries of both kinds and sizes, answers with and without the player
// list, one cut short, and a few that are almost right.
void statusSeeds(SeedWriter& out) {
    out.write("status_datagram", "query", encodeStatusQuery({0x01020304, false}));
    out.write("status_datagram", "query-for-players", encodeStatusQuery({0x05060708, true}, 1024));
    StatusAnswer answer;
    answer.token = 0x01020304;
    answer.instance = 0xA5A5A5A5;
    answer.players = 3;
    answer.limit = 255;
    answer.port = 5002;
    answer.name = "\xED\x95\x9C Hall";  // a Korean syllable in UTF-8
    answer.version = "0.1.0";
    out.write("status_datagram", "answer", *encodeStatusAnswer(answer, kStatusQuerySize));
    answer.hasPlayerList = true;
    answer.playerList = {{1, "one"}, {2, "\xEC\x9D\xB4\xEB\xA6\x84"}, {3, ""}};
    const Bytes listed = *encodeStatusAnswer(answer, kStatusQuerySize);
    out.write("status_datagram", "answer-with-players", listed);
    out.write("status_datagram", "answer-cut", *encodeStatusAnswer(answer, listed.size() - 2));
    Bytes otherVersion = encodeStatusQuery({9, true});
    otherVersion[4] = 2;
    out.write("status_datagram", "query-of-another-version", otherVersion);
    out.write("status_datagram", "answer-truncated", Bytes(listed.begin(), listed.end() - 3));
}

// Recordings: a closed one with every kind of event, the same without its end mark and cut
// inside its block, and one of another version.
void recordingSeeds(SeedWriter& out) {
    KeyState keys{};
    setKeyDown(keys, kKeyUp, true);
    setKeyDown(keys, kKeySpace, true);
    const std::vector<RecordingEvent> events = {
        RecordingEvent::makeLocalPlayer(0, 2, makeNameField("two")),
        RecordingEvent::makePacket(1, info(1, MsgType::Join, 200, 200, 2, "one")),
        RecordingEvent::makePacket(2, info(2, MsgType::Join, 300, 300, 0, "two")),
        RecordingEvent::makePacket(3, makePacket(0, MsgType::Resume)),
        RecordingEvent::makeFrame(30, keys),
        RecordingEvent::makePacket(40, makeSteerPacket(1, SteerCode::Forward)),
        RecordingEvent::makePacket(41, makeFirePacket(1, 5, 250, 200, kShot, 2)),
        RecordingEvent::makePacket(50, makePacket(0, MsgType::Tick)),
        RecordingEvent::makePacket(60, makeHitPacket(2, 5)),
        RecordingEvent::makeFrame(63, KeyState{}),
        RecordingEvent::makePacket(100, makePacket(0, MsgType::Tick)),
    };
    const RecordingHeader header{RecordingSource::Client, "0.1.0", 1'796'000'000'000};
    // Byte 0 even: a whole file follows; odd: one block's body (here: the events, and the end mark).
    const auto file = [](std::uint8_t choice, const Bytes& bytes) {
        Bytes input = {choice};
        input.insert(input.end(), bytes.begin(), bytes.end());
        return input;
    };
    const Bytes closed = encodeRecording(header, events);
    out.write("recording", "closed", file(0, closed));
    const Bytes open = encodeRecording(header, events, false);
    out.write("recording", "not-closed", file(0, open));
    out.write("recording", "cut", file(0, Bytes(open.begin(), open.end() - 7)));
    Bytes other = encodeRecording({RecordingSource::Server, "0.1.0", 0}, events);
    other[8] = 2;
    out.write("recording", "another-version", file(0, other));
    const std::size_t headerSize = encodeRecording(header, {}, false).size();
    out.write("recording", "events", file(1, Bytes(closed.begin() + static_cast<std::ptrdiff_t>(headerSize) + 8, closed.end())));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: kestrane-fuzz-seeds OUT_DIR [DATA_DIR]\n");
        return 2;
    }
    const fs::path dataDir = argc == 3 ? fs::path(argv[2]) : fs::path();
    SeedWriter out(argv[1]);
    streamSeeds(out);
    spriteSeeds(out, dataDir);
    waveSeeds(out, dataDir);
    dispatcherSeeds(out);
    serverSeeds(out);
    statusSeeds(out);
    recordingSeeds(out);
    std::printf("kestrane-fuzz-seeds: wrote %d seeds under %s\n", out.written(), argv[1]);
    return 0;
}
