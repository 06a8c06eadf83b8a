// fuzz_dispatcher.cpp -- any byte stream from "the server" into a whole client: the stream
// reader queues the packets, the dispatcher applies them to a real world, its outbox is carried
// out with headless media and the game's artwork, and frames run with keys held and are drawn,
// as in the main loop. After every packet the world must stay within its tables and bounds,
// and everything the client sends back must be a well-formed message of its own.
//
// Input: byte 0 the local player number, bytes 1 and 2 the keys held in even and odd frames
// (bits: Space, left Alt, Up, Down, Left, Right, F10, F1), then the stream. A frame runs after
// every Tick and ServerClosing, and once at the end.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "client/media/client_media.h"
#include "client/net/client_session.h"
#include "client/world/client_world.h"
#include "client/world/dispatcher.h"
#include "client/world/frame_tick.h"
#include "client/world/world_drawing.h"
#include "common/stream_reader.h"
#include "fuzz/fuzz_support.h"

namespace kestrane::fuzz {
namespace {

constexpr std::size_t kConfigBytes = 3;
// A longer stream adds nothing new and could fill the socket the client sends into.
constexpr std::size_t kMaxStream = 64 * 1024;
constexpr std::array<int, 8> kKeyBits = {kKeySpace, kKeyLeftAlt, kKeyUp, kKeyDown, kKeyLeft, kKeyRight, kKeyF10, kKeyF1};

struct Media {
    ClientMedia media;

    Media() {
        silenceMessageBoxes();
        FUZZ_CHECK(media.display.initOffscreen(), "an offscreen display can be made");
        FUZZ_CHECK(media.loadArtwork(dataDirectory()), "the game's artwork is next to the fuzzer");
    }
};

ClientMedia& sharedMedia() {
    static Media* instance = new Media;  // lives to the end: the fuzzer never returns
    return instance->media;
}

KeyState heldKeys(std::uint8_t bits) {
    KeyState keys{};
    for (std::size_t bit = 0; bit < kKeyBits.size(); ++bit) {
        setKeyDown(keys, kKeyBits[bit], (bits >> bit) & 1);
    }
    return keys;
}

// Whatever the world holds after any packet.
void checkWorld(const ClientWorld& world) {
    FUZZ_CHECK(world.playerRecords.size() <= 255, "the players table holds at most 255 records");
    std::array<bool, 256> numberSeen{};
    for (const PlayerRecord& player : world.playerRecords) {
        FUZZ_CHECK(player.number != 0 && !numberSeen[player.number], "each player number is in the table once");
        numberSeen[player.number] = true;
        FUZZ_CHECK(player.safeFrame() < kWalkFrameCount, "a player's picture is one of the walking frames");
        FUZZ_CHECK(player.animCounter <= 2, "the animation gate counts to two");
        FUZZ_CHECK(player.speed == kPlayerSpeed, "players walk at one speed");
    }
    std::array<std::array<int, kBulletKindCount>, 256> perOwner{};
    for (const BulletRecord& bullet : world.bulletRecords) {
        FUZZ_CHECK(bullet.kind == kShot || bullet.kind == kMine, "only shots and mines are stored");
        FUZZ_CHECK(++perOwner[bullet.owner][bullet.kind] <= kMaxBulletsPerOwner[bullet.kind],
                   "no owner has more than twice the fire limit in flight");
        FUZZ_CHECK(bullet.frame < bulletNextFrame.size(), "a bullet's picture is inside the bullet set");
        FUZZ_CHECK(bullet.frame / kBulletFramesPerKind == bullet.kind, "a bullet shows its own kind's pictures");
        FUZZ_CHECK(bullet.speed == (bullet.kind == kShot ? kShotSpeed : 0), "shots fly, mines lie still");
        FUZZ_CHECK(bullet.animCounter <= 6, "the bullet animation gate counts to six");
    }
    FUZZ_CHECK(world.ownBulletCount[0] >= 0 && world.ownBulletCount[0] <= kMaxShotsInFlight,
               "own shots in flight stay within 0 and the limit");
    FUZZ_CHECK(world.ownBulletCount[1] >= 0 && world.ownBulletCount[1] <= kMaxMinesInFlight,
               "own mines in flight stay within 0 and the limit");
    for (const ChatLine& line : world.chatLines) {
        FUZZ_CHECK(line.back() == '\0' && chatLineText(line).size() < kChatLineSize, "a chat line is terminated");
    }
    FUZZ_CHECK(world.chatLineAge >= 0 && world.chatLineAge <= kChatLineLifetime, "a chat line's age is bounded");
    FUZZ_CHECK(world.moveKeyState <= kMoveStopDue, "the move keys are in one of their three states");
}

// The length each message the world sends must have (it never sends Join, Leave or Chat itself).
std::optional<std::size_t> sentLength(MsgType type) {
    switch (type) {
        case MsgType::PlayerState: return PlayerInfo::kEncodedSize;
        case MsgType::Fire: return kFirePayloadSize;
        case MsgType::Hit: return 2;
        case MsgType::Steer: return 1;
        case MsgType::Stop: return 0;
        default: return std::nullopt;
    }
}

// Reads what the client sent since the last call and checks every packet of it.
void checkSent(TcpSocket& server, PacketStreamReader& reader, std::uint8_t localNumber) {
    PacketQueue sent;
    std::array<std::uint8_t, 4096> buffer;
    for (long n; (n = server.receive(buffer, /*dontWait=*/true)) > 0;) {
        reader.feed(std::span(buffer.data(), static_cast<std::size_t>(n)), sent);
    }
    FUZZ_CHECK(!reader.midPacket(), "the client sends whole packets");
    while (const std::optional<PacketRecord> packet = sent.takeFront()) {
        FUZZ_CHECK(packet->header.sender == localNumber, "the client speaks only for its own player");
        const std::optional<std::size_t> length = sentLength(packet->msgType());
        FUZZ_CHECK(length.has_value(), "the world sends only its own kinds of message");
        FUZZ_CHECK(packet->header.length == *length, "a sent message has its type's length");
        if (packet->msgType() == MsgType::Steer) {
            const std::uint8_t code = packet->payload[0];
            FUZZ_CHECK(code == 0 || code == 2 || code == 4 || code == 6, "a steering code is one of the four");
        }
        if (packet->msgType() == MsgType::Fire) {
            FUZZ_CHECK(readU16(&packet->payload[kFireIdOffset]) == 0, "the client leaves the bullet id to the server");
            const std::uint8_t kind = packet->payload[kFireKindOffset];
            FUZZ_CHECK(kind == kShot || kind == kMine, "a fired kind is a shot or a mine");
        }
    }
}

}  // namespace
}  // namespace kestrane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrane;
    using namespace kestrane::fuzz;
    if (size < kConfigBytes) {
        return 0;
    }
    ClientMedia& media = sharedMedia();
    const std::uint8_t localNumber = data[0];
    const std::array<std::uint8_t, 2> keys = {data[1], data[2]};
    const std::span<const std::uint8_t> stream(data + kConfigBytes, std::min(size - kConfigBytes, kMaxStream));

    std::optional<std::array<TcpSocket, 2>> ends = TcpSocket::pair();
    FUZZ_CHECK(ends.has_value(), "a socket pair can be made");
    TcpSocket server = std::move((*ends)[1]);
    FUZZ_CHECK(server.setNonBlocking(true), "the server end reads without waiting");
    ClientSession session;
    session.setPlayerName("fuzz");
    session.adopt(std::move((*ends)[0]), localNumber);
    ClientWorld world([] { return 0.0; });
    world.setLocalPlayer(localNumber, session.playerName());
    world.sprites = media.spriteSizes();
    const auto carryOut = [&] {
        for (const PacketRecord& packet : world.outbox.packets) {
            session.sendPacket(packet);
        }
        world.outbox.packets.clear();
        playEffects(world.outbox, media);
    };

    PacketStreamReader incoming;
    PacketStreamReader outgoing;
    std::size_t frames = 0;
    const auto runFrame = [&] {
        frameTick(world, heldKeys(keys[frames++ % keys.size()]), [&] { showFrame(world, media); });
        carryOut();
        checkWorld(world);
        checkSent(server, outgoing, localNumber);
    };
    for (std::span<const std::uint8_t> rest = stream; !rest.empty();) {
        rest = rest.subspan(incoming.readPacket(rest, session.queue()));
        while (const std::optional<PacketRecord> record = session.queue().front()) {
            dispatchNextPacket(world, session.queue());
            carryOut();
            checkWorld(world);
            checkSent(server, outgoing, localNumber);
            if (record->msgType() == MsgType::Tick || record->msgType() == MsgType::ServerClosing) {
                runFrame();
            }
        }
    }
    runFrame();
    clearWorld(world);
    return 0;
}
