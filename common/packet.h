// packet.h -- the wire format shared by server and client: header, record, message codes.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace kestrane {

inline constexpr std::uint8_t kPacketMarker = 0xAA;
inline constexpr std::size_t kHeaderSize = 4;
// A receiver holds at most this many payload bytes per packet.
inline constexpr std::size_t kPayloadCapacity = 51;
inline constexpr std::size_t kRecordSize = kHeaderSize + kPayloadCapacity;
// The length byte allows this much on the wire; longer payloads are cut to kPayloadCapacity on receipt.
inline constexpr std::size_t kMaxWirePayload = 255;

// Message codes. Codes 2, 12-20 and 23-255 are unused.
enum class MsgType : std::uint8_t {
    Welcome = 0,
    Join = 1,
    Resume = 3,
    Chat = 4,
    Leave = 5,
    Steer = 6,
    Stop = 7,
    PlayerState = 8,
    SetPosition = 9,
    Tick = 10,
    ServerClosing = 11,
    Fire = 21,
    Hit = 22,
};

// Steering codes carried by a Steer payload.
enum class SteerCode : std::uint8_t { Forward = 0, TurnRight = 2, Backward = 4, TurnLeft = 6 };

// Fire payload layout (8 bytes): id, start x, start y, kind, direction.
inline constexpr std::size_t kFirePayloadSize = 8;
inline constexpr std::size_t kFireIdOffset = 0;
inline constexpr std::size_t kFireXOffset = 2;
inline constexpr std::size_t kFireYOffset = 4;
inline constexpr std::size_t kFireKindOffset = 6;
inline constexpr std::size_t kFireDirectionOffset = 7;

// The first four bytes of every packet.
struct PacketHeader {
    std::uint8_t marker = kPacketMarker;
    std::uint8_t sender = 0;  // player number; 0 is the server
    std::uint8_t type = 0;    // a MsgType code, possibly an unknown one
    std::uint8_t length = 0;  // payload bytes that follow
};

// One packet as both programs hold it: the header and a 51-byte payload area.
// Payload bytes beyond `length` are zero. `length` never exceeds kPayloadCapacity.
struct PacketRecord {
    PacketHeader header;
    std::array<std::uint8_t, kPayloadCapacity> payload{};

    MsgType msgType() const { return static_cast<MsgType>(header.type); }
    std::span<const std::uint8_t> payloadBytes() const {
        return {payload.data(), std::min<std::size_t>(header.length, kPayloadCapacity)};
    }
    // The packet as it goes on the wire: header then `length` payload bytes. The view points
    // into this record, so it is not offered on temporaries.
    std::span<const std::uint8_t> wireBytes() const& {
        return {reinterpret_cast<const std::uint8_t*>(this), kHeaderSize + payloadBytes().size()};
    }
    std::span<const std::uint8_t> wireBytes() const&& = delete;
};
static_assert(sizeof(PacketHeader) == kHeaderSize);
static_assert(sizeof(PacketRecord) == kRecordSize);

// Builds a record; a payload longer than kPayloadCapacity is cut to it.
PacketRecord makePacket(std::uint8_t sender, MsgType type, std::span<const std::uint8_t> payload = {});

// Builds a Fire packet: a shot (kind 0) or a mine (kind 1) starting at (x, y) facing `direction`.
// Clients send id 0; the server stamps its shot serial into the relayed copy.
PacketRecord makeFirePacket(std::uint8_t sender, std::uint16_t id, std::uint16_t x, std::uint16_t y,
                            std::uint8_t kind, std::uint8_t direction);

// Little-endian field access, independent of host byte order.
inline std::uint16_t readU16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}
inline std::int16_t readI16(const std::uint8_t* bytes) { return static_cast<std::int16_t>(readU16(bytes)); }
inline void writeU16(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
}
inline void writeI16(std::uint8_t* bytes, std::int16_t value) { writeU16(bytes, static_cast<std::uint16_t>(value)); }

// True for the codes the server accepts from clients and relays.
bool isClientMessage(std::uint8_t type);

}  // namespace kestrane
