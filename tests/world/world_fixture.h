// world_fixture.h -- a client world wired for tests: an offscreen display with artwork made
// in memory, a socket pair standing in for the server, a keyboard snapshot and a fake clock.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "client/media/client_media.h"
#include "client/net/client_session.h"
#include "client/world/client_world.h"
#include "client/world/dispatcher.h"
#include "client/world/frame_tick.h"
#include "client/world/world_drawing.h"
#include "platform/tcp_socket.h"

namespace kestrane::testing {

constexpr std::uint16_t kFloor = 0x2945;  // a back-buffer fill that is neither black, red nor blue
constexpr std::uint16_t kRed565 = 0xF800;
constexpr std::uint16_t kBlue565 = 0x001F;

// Sprite sets, background and glyphs of the sizes the game's artwork has, made in memory, so
// the world tests need no data files and no font.
void makeTestArtwork(ClientMedia& media);

struct WorldClient {
    explicit WorldClient(std::uint8_t number, std::string_view name = "tester");

    // Whole packets the client has sent since the last call, in order (what the world's
    // outbox still holds is carried out first).
    std::vector<PacketRecord> sent();
    // What the client program does with the outbox: packets to the session, sounds and
    // centre pictures to the media.
    void carryOut();
    // Applies each record, as the dispatcher would on its queue.
    void receive(std::initializer_list<PacketRecord> records);
    // The keyboard snapshot the next frame reads: exactly these keys down.
    void keys(std::initializer_list<int> down);
    // One frame with the keys last set, drawn and presented, the caret clock a thirtieth of
    // a second later.
    void frame();
    PlayerRecord& player(std::uint8_t number);

    ClientSession session;
    ClientMedia media;
    double clock = 0;
    ClientWorld world;
    TcpSocket server;  // the other end of the session's socket
    DrawLog log;
};

PlayerInfo playerInfo(int x, int y, std::uint8_t direction = 0, std::string_view name = "p", std::uint8_t energy = 100);
PacketRecord joinPacket(std::uint8_t sender, const PlayerInfo& info);
PacketRecord statePacket(std::uint8_t sender, const PlayerInfo& info);
PacketRecord steerPacket(std::uint8_t sender, SteerCode code);
PacketRecord headerPacket(std::uint8_t sender, MsgType type);
PacketRecord firePacket(std::uint8_t sender, std::uint16_t id, int x, int y, std::uint8_t kind, std::uint8_t direction);
PacketRecord hitPacket(std::uint8_t sender, std::uint16_t id);
PacketRecord chatPacket(std::uint8_t sender, std::string_view text);
inline PacketRecord tickPacket() { return headerPacket(0, MsgType::Tick); }

// The steering codes of the Steer packets in `packets`, in order.
std::vector<int> steerCodes(const std::vector<PacketRecord>& packets);
std::vector<MsgType> types(const std::vector<PacketRecord>& packets);

}  // namespace kestrane::testing
