// packet.cpp -- building packet records.
#include "common/packet.h"

#include <cstring>

namespace kestrane {

PacketRecord makePacket(std::uint8_t sender, MsgType type, std::span<const std::uint8_t> payload) {
    PacketRecord record;
    const std::size_t length = std::min(payload.size(), kPayloadCapacity);
    record.header = {kPacketMarker, sender, static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(length)};
    if (length > 0) {
        std::memcpy(record.payload.data(), payload.data(), length);
    }
    return record;
}

PacketRecord makeFirePacket(std::uint8_t sender, std::uint16_t id, std::uint16_t x, std::uint16_t y,
                            std::uint8_t kind, std::uint8_t direction) {
    std::array<std::uint8_t, kFirePayloadSize> payload{};
    writeU16(&payload[kFireIdOffset], id);
    writeU16(&payload[kFireXOffset], x);
    writeU16(&payload[kFireYOffset], y);
    payload[kFireKindOffset] = kind;
    payload[kFireDirectionOffset] = direction;
    return makePacket(sender, MsgType::Fire, payload);
}

bool isClientMessage(std::uint8_t type) {
    switch (static_cast<MsgType>(type)) {
        case MsgType::Join:
        case MsgType::Chat:
        case MsgType::Leave:
        case MsgType::Steer:
        case MsgType::Stop:
        case MsgType::PlayerState:
        case MsgType::SetPosition:
        case MsgType::Fire:
        case MsgType::Hit:
            return true;
        default:
            return false;
    }
}

}  // namespace kestrane
