// fuzz_server.cpp -- any bytes from three players into a whole server core: the network pass
// reads them, the packet worker relays, records joins, removes players, stamps
// shots and sends Resume and Tick. Every player still connected must receive whole packets,
// the same ones in the same order as every other, with ids and senders as the protocol says.
//
// Input: byte 0 = n, the size of the pieces (n + 1 bytes) in which the rest goes to players
// 1, 2, 3, 1, 2, ... in turn; byte 1 = which players hang up at the end (bits 0 to 2); then
// the bytes the players send. The players read what they were sent at the end (the sockets
// hold it all).
#include <array>
#include <cstring>
#include <mutex>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "common/protocol.h"
#include "common/stream_reader.h"
#include "fuzz/fuzz_support.h"
#include "server/packet_worker.h"
#include "server/server_network.h"
#include "server/server_state.h"

namespace kestrane::fuzz {
namespace {

constexpr std::size_t kPlayers = 3;
constexpr std::size_t kConfigBytes = 2;
constexpr std::size_t kMaxInput = 16 * 1024;  // well inside what the sockets buffer
constexpr int kSettlePasses = 64;

// What one player's client end has received, read as packets.
struct Player {
    TcpSocket socket;
    PacketStreamReader reader;
    std::vector<PacketRecord> received;
    bool hungUp = false;

    void drain() {
        PacketQueue queue;
        std::array<std::uint8_t, 4096> buffer;
        for (long n; (n = socket.receive(buffer, /*dontWait=*/true)) > 0;) {
            reader.feed(std::span(buffer.data(), static_cast<std::size_t>(n)), queue);
        }
        while (const std::optional<PacketRecord> packet = queue.takeFront()) {
            received.push_back(*packet);
        }
    }
};

// Network passes and worker passes until nothing is left to read or relay.
void settle(ServerNetwork& network, PacketWorker& worker, ServerState& state) {
    for (int pass = 0; pass < kSettlePasses; ++pass) {
        network.pollNetwork(0);
        while (worker.runPass()) {
        }
        if (state.queue.empty() && pass > 2) {
            network.pollNetwork(1);
            if (state.queue.empty()) {
                return;
            }
        }
    }
}

bool stillPlaying(ServerState& state, std::uint8_t number) {
    std::lock_guard lock(state.playersMutex);
    return state.players.findPlayer(number) >= 0;
}

void checkPlayer(const Player& player, std::uint8_t number, bool connected) {
    if (connected) {
        FUZZ_CHECK(!player.reader.midPacket(), "a player in the game receives whole packets");
    }
    std::uint16_t nextId = 0;
    bool firstFire = true;
    for (const PacketRecord& packet : player.received) {
        const std::uint8_t sender = packet.header.sender;
        switch (packet.msgType()) {
            case MsgType::Tick:
                FUZZ_CHECK(sender == 0 && packet.header.length == 0, "a Tick is the server's, empty");
                break;
            case MsgType::Resume:
                FUZZ_CHECK(sender == number && packet.header.length == 0, "a Resume carries its receiver's number");
                break;
            case MsgType::Leave:
                FUZZ_CHECK(sender >= 1 && sender <= kPlayers && sender != number, "a Leave names another player");
                break;
            case MsgType::Fire: {
                FUZZ_CHECK(sender >= 1 && sender <= kPlayers, "a relayed message names a player");
                // A Fire too short to carry its id still takes one (and clients ignore it).
                if (packet.header.length >= kFireIdOffset + 2) {
                    const std::uint16_t id = readU16(&packet.payload[kFireIdOffset]);
                    FUZZ_CHECK(id == nextId, "shot ids run 0, then 1 to 101 round");
                }
                nextId = firstFire ? 1 : (nextId > 100 ? 1 : static_cast<std::uint16_t>(nextId + 1));
                firstFire = false;
                break;
            }
            default:
                FUZZ_CHECK(relayedByServer(packet.header.type), "only the players' kinds of message are relayed");
                FUZZ_CHECK(sender >= 1 && sender <= kPlayers, "a relayed message names a player");
                break;
        }
    }
}

// Two players who are both still in the game heard the same things in the same order (a
// Resume aside, which names its receiver).
bool sameStory(const Player& a, std::uint8_t aNumber, const Player& b, std::uint8_t bNumber) {
    if (a.received.size() != b.received.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.received.size(); ++i) {
        PacketRecord left = a.received[i];
        PacketRecord right = b.received[i];
        if (left.msgType() == MsgType::Resume && left.header.sender == aNumber) {
            left.header.sender = bNumber;
        }
        if (std::memcmp(&left, &right, sizeof left) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace
}  // namespace kestrane::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kestrane::fuzz::silenceMessageBoxes();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrane;
    using namespace kestrane::fuzz;
    if (size < kConfigBytes) {
        return 0;
    }
    const std::size_t piece = std::size_t{data[0]} + 1;
    const std::uint8_t hangUps = data[1];
    const std::span<const std::uint8_t> bytes(data + kConfigBytes, std::min(size - kConfigBytes, kMaxInput));

    double now = 0;
    ServerState state;
    ServerNetwork network(state);  // not listening: the players are wired in below
    PacketWorker worker(state, [&now] { return now += 0.02; });  // a Tick every few passes

    // Socket pairs stand in for accepted connections: the same reads, no ports used up.
    std::array<Player, kPlayers> players;
    for (Player& player : players) {
        std::optional<std::array<TcpSocket, 2>> ends = TcpSocket::pair();
        FUZZ_CHECK(ends.has_value() && (*ends)[0].setNonBlocking(true), "a connection can be made");
        std::lock_guard lock(state.playersMutex);
        FUZZ_CHECK(state.players.registerConnection(std::move((*ends)[0])), "a player is taken in");
        player.socket = std::move((*ends)[1]);
    }

    std::size_t turn = 0;
    for (std::size_t at = 0; at < bytes.size(); at += piece, ++turn) {
        Player& player = players[turn % kPlayers];
        if (!player.socket.sendAll(bytes.subspan(at, std::min(piece, bytes.size() - at)))) {
            continue;  // the server hung up on this player (its own Leave)
        }
        network.pollNetwork(0);
        while (worker.runPass()) {
        }
    }
    for (std::size_t i = 0; i < kPlayers; ++i) {
        if ((hangUps >> i) & 1) {
            players[i].socket.close();
            players[i].hungUp = true;
        }
    }
    settle(network, worker, state);

    std::vector<std::size_t> playing;
    for (std::size_t i = 0; i < kPlayers; ++i) {
        const auto number = static_cast<std::uint8_t>(i + 1);
        const bool connected = !players[i].hungUp && stillPlaying(state, number);
        FUZZ_CHECK(!players[i].hungUp || !stillPlaying(state, number), "a player who hung up is removed");
        if (!players[i].hungUp) {
            players[i].drain();
            checkPlayer(players[i], number, connected);
        }
        if (connected) {
            playing.push_back(i);
        }
    }
    for (std::size_t k = 1; k < playing.size(); ++k) {
        FUZZ_CHECK(sameStory(players[playing[0]], static_cast<std::uint8_t>(playing[0] + 1), players[playing[k]],
                             static_cast<std::uint8_t>(playing[k] + 1)),
                   "every player in the game hears the same packets in the same order");
    }
    return 0;
}
