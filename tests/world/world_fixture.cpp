// world_fixture.cpp -- the test client and packet builders.
#include "tests/world/world_fixture.h"

#include <gtest/gtest.h>

#include "tests/support/packet_reader.h"

namespace kestrane::testing {

namespace {

// Stand-ins for the generated artwork with its frame sizes and hot spots, which the world's
// rules read (where a shot starts, what it hits); each picture is one flat colour.
constexpr FrameSize kPlayerFrame{32, 40, 16, 20};
constexpr FrameSize kShotFrame{11, 11, 5, 5};
constexpr FrameSize kMineFrame{15, 15, 7, 7};
constexpr FrameSize kPictureFrame{392, 112, 196, 56};

void makeFrames(SpriteSet& set, const FrameSize& first, const FrameSize& rest, std::size_t firstCount,
                std::uint16_t colour) {
    for (std::size_t i = 0; i < set.size(); ++i) {
        const FrameSize& size = i < firstCount ? first : rest;
        set[i].setGeometry(size.width, size.height, size.hotSpotX, size.hotSpotY);
        EXPECT_TRUE(set[i].createSurface());
        set[i].surface().fill(colour);
    }
}

// Every printable character a solid block in its cell (8 px, 16 for wide ones), 16 px high
// with a one-pixel margin: enough to see where and in which colour text lands.
class BlockGlyphs final : public GlyphSource {
public:
    bool available() override { return true; }
    int lineHeight() override { return 16; }
    Glyph render(char32_t codePoint) override {
        Glyph cell{codePoint >= 0x1100 ? 16 : 8, 16, {}};
        cell.mask.resize(static_cast<std::size_t>(cell.width * cell.height));
        for (int y = 1; y < cell.height - 1; ++y) {
            for (int x = 1; x < cell.width - 1; ++x) {
                cell.mask[static_cast<std::size_t>(y * cell.width + x)] = codePoint == U' ' ? 0 : 1;
            }
        }
        return cell;
    }
};

}  // namespace

void makeTestArtwork(ClientMedia& media) {
    makeFrames(media.playerSprites, kPlayerFrame, kPlayerFrame, kPlayerSpriteCount, 0x7BEF);
    makeFrames(media.bulletSprites, kShotFrame, kMineFrame, 3, 0xFFE0);
    makeFrames(media.etcSprites, kPictureFrame, kPictureFrame, kEtcSpriteCount, 0x07FF);
    EXPECT_TRUE(media.backgroundSurface.create(800, 600));
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            media.backgroundSurface.setPixel(x, y, static_cast<std::uint16_t>((x * 7 + y * 13) | 1));
        }
    }
    media.display.glyphs().setSource(std::make_unique<BlockGlyphs>());
}

WorldClient::WorldClient(std::uint8_t number, std::string_view name) : world([this] { return clock; }) {
    session.setPlayerName(name);
    world.setLocalPlayer(number, session.playerName());
    auto ends = TcpSocket::pair();
    EXPECT_TRUE(ends.has_value());
    session.adopt(std::move((*ends)[0]), number);
    server = std::move((*ends)[1]);
    EXPECT_TRUE(media.display.initOffscreen());
    makeTestArtwork(media);
    world.sprites = media.spriteSizes();
    media.display.setDrawLog(&log);
}

void WorldClient::carryOut() {
    for (const PacketRecord& packet : world.outbox.packets) {
        session.sendPacket(packet);
    }
    world.outbox.packets.clear();
    playEffects(world.outbox, media);
}

std::vector<PacketRecord> WorldClient::sent() {
    carryOut();
    PacketReader incoming(server);
    std::vector<PacketRecord> packets = incoming.takeAll();
    EXPECT_FALSE(incoming.stream().midPacket());
    return packets;
}

void WorldClient::receive(std::initializer_list<PacketRecord> records) {
    for (const PacketRecord& record : records) {
        applyPacket(world, record);
        carryOut();
    }
}

void WorldClient::keys(std::initializer_list<int> down) {
    media.keyboard.setKeyState({});
    for (const int key : down) {
        media.keyboard.setKeyDown(key, true);
    }
}

void WorldClient::frame() {
    clock += 1.0 / 30;
    frameTick(world, media.keyboard.keyState(), [this] { showFrame(world, media); });
    carryOut();
}

PlayerRecord& WorldClient::player(std::uint8_t number) {
    const int index = findPlayerRecord(world, number);
    EXPECT_GE(index, 0) << "no player " << int{number};
    return world.playerRecords.at(static_cast<std::size_t>(index));
}

PlayerInfo playerInfo(int x, int y, std::uint8_t direction, std::string_view name, std::uint8_t energy) {
    PlayerInfo info;
    info.energy = energy;
    info.direction = direction;
    info.frame = static_cast<std::uint8_t>(direction * 3);
    info.x = static_cast<std::int16_t>(x);
    info.y = static_cast<std::int16_t>(y);
    info.name = makeNameField(name);
    return info;
}

PacketRecord joinPacket(std::uint8_t sender, const PlayerInfo& info) {
    return makePacket(sender, MsgType::Join, info.encode());
}

PacketRecord statePacket(std::uint8_t sender, const PlayerInfo& info) {
    return makePacket(sender, MsgType::PlayerState, info.encode());
}

PacketRecord steerPacket(std::uint8_t sender, SteerCode code) {
    const std::uint8_t payload[1] = {static_cast<std::uint8_t>(code)};
    return makePacket(sender, MsgType::Steer, payload);
}

PacketRecord headerPacket(std::uint8_t sender, MsgType type) { return makePacket(sender, type); }

PacketRecord firePacket(std::uint8_t sender, std::uint16_t id, int x, int y, std::uint8_t kind,
                        std::uint8_t direction) {
    return makeFirePacket(sender, id, static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y), kind, direction);
}

PacketRecord hitPacket(std::uint8_t sender, std::uint16_t id) {
    std::uint8_t payload[2];
    writeU16(payload, id);
    return makePacket(sender, MsgType::Hit, payload);
}

PacketRecord chatPacket(std::uint8_t sender, std::string_view text) {
    return makePacket(sender, MsgType::Chat,
                      std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::vector<int> steerCodes(const std::vector<PacketRecord>& packets) {
    std::vector<int> codes;
    for (const PacketRecord& packet : packets) {
        if (packet.msgType() == MsgType::Steer) {
            codes.push_back(packet.payload[0]);
        }
    }
    return codes;
}

std::vector<MsgType> types(const std::vector<PacketRecord>& packets) {
    std::vector<MsgType> result;
    for (const PacketRecord& packet : packets) {
        result.push_back(packet.msgType());
    }
    return result;
}

}  // namespace kestrane::testing
