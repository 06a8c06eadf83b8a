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
