// protocol.cpp -- looking codes up in the catalogue, and the payload encoders and decoders.
#include "common/protocol.h"

#include "common/text.h"

namespace kestrane {

namespace {

// Row index by code, built once from the catalogue.
constexpr std::array<std::int8_t, 256> kRowByCode = [] {
    std::array<std::int8_t, 256> rows{};
    rows.fill(-1);
    for (std::size_t row = 0; row < kMessageCatalogue.size(); ++row) {
        rows[static_cast<std::uint8_t>(kMessageCatalogue[row].type)] = static_cast<std::int8_t>(row);
    }
    return rows;
}();

bool carries(const PacketRecord& record, std::size_t bytes) { return record.payloadBytes().size() >= bytes; }

}  // namespace

const MessageRow* findMessage(std::uint8_t code) {
    const int row = kRowByCode[code];
    return row < 0 ? nullptr : &kMessageCatalogue[static_cast<std::size_t>(row)];
}

bool relayedByServer(std::uint8_t code) {
    const MessageRow* row = findMessage(code);
    return row != nullptr && row->relayed;
}

bool payloadReadable(const PacketRecord& record) {
    const MessageRow* row = findMessage(record.header.type);
    return row != nullptr && carries(record, row->minPayload);
}

PacketRecord makePlayerInfoPacket(std::uint8_t sender, MsgType type, const PlayerInfo& info) {
    return makePacket(sender, type, info.encode());
}

PacketRecord makeSteerPacket(std::uint8_t sender, SteerCode code) {
    const std::uint8_t payload[kSteerPayloadSize] = {static_cast<std::uint8_t>(code)};
    return makePacket(sender, MsgType::Steer, payload);
}

PacketRecord makeSetPositionPacket(std::uint8_t sender, std::int16_t x, std::int16_t y) {
    std::uint8_t payload[kSetPositionPayloadSize];
    writeI16(&payload[0], x);
    writeI16(&payload[2], y);
    return makePacket(sender, MsgType::SetPosition, payload);
}

PacketRecord makeHitPacket(std::uint8_t sender, std::uint16_t bulletId) {
    std::uint8_t payload[kHitPayloadSize];
    writeU16(payload, bulletId);
    return makePacket(sender, MsgType::Hit, payload);
}

PacketRecord makeChatPacket(std::uint8_t sender, std::string_view cp949Line) {
    return makePacket(sender, MsgType::Chat,
                      std::span(reinterpret_cast<const std::uint8_t*>(cp949Line.data()), cp949Line.size()));
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

void stampFireId(PacketRecord& fire, std::uint16_t id) { writeU16(&fire.payload[kFireIdOffset], id); }

std::string formatChatLine(std::string_view name, std::string_view text) {
    std::string line = "[";
    line.append(name);
    line.append("] ");
    line.append(text);
    return std::string(cp949Prefix(line, kMaxChatLine));
}

std::optional<PlayerInfo> decodePlayerInfo(const PacketRecord& record) {
    if (!carries(record, PlayerInfo::kEncodedSize)) {
        return std::nullopt;
    }
    return PlayerInfo::decode(record.payloadBytes());
}

std::optional<std::uint8_t> decodeSteer(const PacketRecord& record) {
    if (!carries(record, kSteerPayloadSize)) {
        return std::nullopt;
    }
    return record.payload[0];
}

std::optional<PositionPayload> decodeSetPosition(const PacketRecord& record) {
    if (!carries(record, kSetPositionPayloadSize)) {
        return std::nullopt;
    }
    return PositionPayload{readI16(&record.payload[0]), readI16(&record.payload[2])};
}

std::optional<std::uint16_t> decodeHit(const PacketRecord& record) {
    if (!carries(record, kHitPayloadSize)) {
        return std::nullopt;
    }
    return readU16(&record.payload[0]);
}

std::optional<FirePayload> decodeFire(std::span<const std::uint8_t> payload) {
    if (payload.size() < kFirePayloadSize) {
        return std::nullopt;
    }
    FirePayload fire;
    fire.id = readU16(&payload[kFireIdOffset]);
    fire.x = readU16(&payload[kFireXOffset]);
    fire.y = readU16(&payload[kFireYOffset]);
    fire.kind = payload[kFireKindOffset];
    fire.direction = payload[kFireDirectionOffset];
    return fire;
}

}  // namespace kestrane
