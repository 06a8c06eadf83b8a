// protocol.h -- the message catalogue: one row per message code, and every payload's encoder
// and decoder beside it. Adding a message is one MsgType code, one row here, and one handler
// on each side (the server's packet worker, the client's dispatcher).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/little_endian.h"
#include "common/packet.h"
#include "common/player_info.h"

namespace kestrane {

// The port both programs use unless told otherwise.
inline constexpr std::uint16_t kServerPort = 5001;

enum class MessageSender : std::uint8_t { Client, Server };

// One row of the catalogue.
struct MessageRow {
    MsgType type;
    std::string_view name;
    // Payload bytes a receiver needs before it may read the payload; shorter packets are
    // ignored by the client (the server relays them as they came).
    std::size_t minPayload;
    MessageSender sender;
    // The server relays it to every player in join order, the sender included (a Leave
    // reaches only the others: its sender is removed first).
    bool relayed;
};

// Steering codes carried by a Steer payload.
enum class SteerCode : std::uint8_t { Forward = 0, TurnRight = 2, Backward = 4, TurnLeft = 6 };

// Bullet kinds, carried in the Fire message.
inline constexpr std::uint8_t kShot = 0;  // Space: flies straight ahead
inline constexpr std::uint8_t kMine = 1;  // left Alt: laid behind the player, never moves
inline constexpr int kBulletKindCount = 2;

// Fire payload layout (8 bytes): id, start x, start y, kind, direction.
inline constexpr std::size_t kFirePayloadSize = 8;
inline constexpr std::size_t kFireIdOffset = 0;
inline constexpr std::size_t kFireXOffset = 2;
inline constexpr std::size_t kFireYOffset = 4;
inline constexpr std::size_t kFireKindOffset = 6;
inline constexpr std::size_t kFireDirectionOffset = 7;

inline constexpr std::size_t kSteerPayloadSize = 1;
inline constexpr std::size_t kSetPositionPayloadSize = 4;
inline constexpr std::size_t kHitPayloadSize = 2;
// The longest chat line every receiver holds whole.
inline constexpr std::size_t kMaxChatLine = kPayloadCapacity;

inline constexpr std::array<MessageRow, 13> kMessageCatalogue = {{
    {MsgType::Welcome, "Welcome", 0, MessageSender::Server, false},
    {MsgType::Join, "Join", PlayerInfo::kEncodedSize, MessageSender::Client, true},
    {MsgType::Resume, "Resume", 0, MessageSender::Server, false},
    {MsgType::Chat, "Chat", 0, MessageSender::Client, true},
    {MsgType::Leave, "Leave", 0, MessageSender::Client, true},
    {MsgType::Steer, "Steer", kSteerPayloadSize, MessageSender::Client, true},
    {MsgType::Stop, "Stop", 0, MessageSender::Client, true},
    {MsgType::PlayerState, "PlayerState", PlayerInfo::kEncodedSize, MessageSender::Client, true},
    {MsgType::SetPosition, "SetPosition", kSetPositionPayloadSize, MessageSender::Client, true},
    {MsgType::Tick, "Tick", 0, MessageSender::Server, false},
    {MsgType::ServerClosing, "ServerClosing", 0, MessageSender::Server, false},
    {MsgType::Fire, "Fire", kFirePayloadSize, MessageSender::Client, true},
    {MsgType::Hit, "Hit", kHitPayloadSize, MessageSender::Client, true},
}};

// The row for a code, or nothing for an unused code.
const MessageRow* findMessage(std::uint8_t code);
// True when the server relays packets of this code from players.
bool relayedByServer(std::uint8_t code);
// True when the record's code is known and it carries the payload bytes its row asks for.
bool payloadReadable(const PacketRecord& record);

// --- Encoders: each builds the whole packet with `sender` in its header. ---

// Join and PlayerState carry one PlayerInfo.
PacketRecord makePlayerInfoPacket(std::uint8_t sender, MsgType type, const PlayerInfo& info);
PacketRecord makeSteerPacket(std::uint8_t sender, SteerCode code);
PacketRecord makeSetPositionPacket(std::uint8_t sender, std::int16_t x, std::int16_t y);
PacketRecord makeHitPacket(std::uint8_t sender, std::uint16_t bulletId);
// The line as given, cut to kMaxChatLine bytes.
PacketRecord makeChatPacket(std::uint8_t sender, std::string_view cp949Line);
// A shot (kind 0) or a mine (kind 1) starting at (x, y) facing `direction`.
// Clients send id 0; the server stamps its shot serial into the relayed copy.
PacketRecord makeFirePacket(std::uint8_t sender, std::uint16_t id, std::uint16_t x, std::uint16_t y,
                            std::uint8_t kind, std::uint8_t direction);
// Writes the server's shot serial into a Fire (beyond a short payload's length it is not sent).
void stampFireId(PacketRecord& fire, std::uint16_t id);

// The chat line "[name] text" as it is sent: at most kMaxChatLine bytes, whole characters.
std::string formatChatLine(std::string_view name, std::string_view text);

// --- Decoders: nothing when the payload is shorter than its row asks. ---

struct FirePayload {
    std::uint16_t id = 0;
    std::uint16_t x = 0;
    std::uint16_t y = 0;
    std::uint8_t kind = kShot;
    std::uint8_t direction = 0;
};
struct PositionPayload {
    std::int16_t x = 0;
    std::int16_t y = 0;
};

std::optional<PlayerInfo> decodePlayerInfo(const PacketRecord& record);
std::optional<std::uint8_t> decodeSteer(const PacketRecord& record);
std::optional<PositionPayload> decodeSetPosition(const PacketRecord& record);
std::optional<std::uint16_t> decodeHit(const PacketRecord& record);
std::optional<FirePayload> decodeFire(std::span<const std::uint8_t> payload);
inline std::optional<FirePayload> decodeFire(const PacketRecord& record) { return decodeFire(record.payloadBytes()); }

}  // namespace kestrane
