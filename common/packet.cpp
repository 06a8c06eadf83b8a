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

}  // namespace kestrane
