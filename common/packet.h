// packet.h -- the packet framing shared by server and client: header, record, message codes.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "common/little_endian.h"

namespace kestrane {

inline constexpr std::uint8_t kPacketMarker = 0xAA;
inline constexpr std::size_t kHeaderSize = 4;
// A receiver holds at most this many payload bytes per packet.
inline constexpr std::size_t kPayloadCapacity = 51;
inline constexpr std::size_t kRecordSize = kHeaderSize + kPayloadCapacity;
// The length byte allows this much on the wire; longer payloads are cut to kPayloadCapacity on receipt.
inline constexpr std::size_t kMaxWirePayload = 255;

// Message codes; common/protocol.h holds a row for each. Codes 2, 12-20 and 23-255 are unused.
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

}  // namespace kestrane
