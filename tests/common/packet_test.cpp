// Byte layouts of the packets both programs build.
#include <gtest/gtest.h>

#include <vector>

#include "common/packet.h"
#include "common/protocol.h"
#include "common/player_info.h"

namespace kestrane {
namespace {

std::vector<std::uint8_t> bytesOf(const PacketRecord& record) {
    const auto wire = record.wireBytes();
    return {wire.begin(), wire.end()};
}

TEST(PacketLayout, JoinIs36BytesWithLittleEndianFieldsAndTheNameAtTen) {
    PlayerInfo info;
    info.energy = 100;
    info.x = 0x01F3;  // 499
    info.y = 0x0064;  // 100
    info.name = makeNameField("Kim");
    const auto payload = info.encode();
    const auto bytes = bytesOf(makePacket(7, MsgType::Join, payload));

    ASSERT_EQ(bytes.size(), 36u);
    EXPECT_EQ((std::vector<std::uint8_t>{bytes.begin(), bytes.begin() + 14}),
              (std::vector<std::uint8_t>{0xAA, 7, 1, 32, 100, 0, 0, 0, 0, 0, 0xF3, 0x01, 0x64, 0x00}));
    EXPECT_EQ(bytes[14], 'K');
    EXPECT_EQ(bytes[16], 'm');
    EXPECT_EQ(bytes[17], 0);
    EXPECT_EQ(bytes[35], 0);
}

TEST(PacketLayout, FireIs12BytesIdPositionKindDirection) {
    std::uint8_t payload[kFirePayloadSize] = {};
    writeI16(&payload[kFireXOffset], 302);
    writeI16(&payload[kFireYOffset], -3);
    payload[kFireKindOffset] = 1;
    payload[kFireDirectionOffset] = 6;
    const auto bytes = bytesOf(makePacket(3, MsgType::Fire, payload));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0xAA, 3, 21, 8, 0, 0, 0x2E, 0x01, 0xFD, 0xFF, 1, 6}));
}

TEST(PacketLayout, PayloadBeyondTheRecordIsCutAndTheRestStaysZero) {
    std::vector<std::uint8_t> longPayload(80, 0x41);
    const PacketRecord record = makePacket(1, MsgType::Chat, longPayload);
    EXPECT_EQ(record.header.length, kPayloadCapacity);
    EXPECT_EQ(record.wireBytes().size(), kRecordSize);

    const PacketRecord shortOne = makePacket(1, MsgType::Chat, std::vector<std::uint8_t>{1, 2});
    EXPECT_EQ(shortOne.payload[2], 0);
    EXPECT_EQ(shortOne.wireBytes().size(), 6u);
}

TEST(PlayerInfoCodec, RoundTripsEveryFieldIncludingNegativeCoordinates) {
    PlayerInfo info;
    info.energy = 42;
    info.spare = 9;
    info.direction = 7;
    info.motion = 2;
    info.frame = 23;
    info.x = -2;
    info.y = 32767;
    info.name = makeNameField("\xC0\xCC\xB8\xA7");  // a Korean name in code page 949
    const PlayerInfo back = PlayerInfo::decode(info.encode());
    EXPECT_EQ(back.energy, 42);
    EXPECT_EQ(back.spare, 9);
    EXPECT_EQ(back.direction, 7);
    EXPECT_EQ(back.motion, 2);
    EXPECT_EQ(back.frame, 23);
    EXPECT_EQ(back.x, -2);
    EXPECT_EQ(back.y, 32767);
    EXPECT_EQ(nameText(back.name), "\xC0\xCC\xB8\xA7");
}

TEST(PlayerInfoCodec, ShortPayloadDecodesAsZeroFilled) {
    const std::vector<std::uint8_t> payload{100, 0, 3};
    const PlayerInfo info = PlayerInfo::decode(payload);
    EXPECT_EQ(info.energy, 100);
    EXPECT_EQ(info.direction, 3);
    EXPECT_EQ(info.x, 0);
    EXPECT_EQ(nameText(info.name), "");
}

TEST(NameFields, TextStopsAtTwentyBytesEvenWithoutATerminator) {
    NameField field;
    field.fill('A');  // 21 non-zero bytes, as a hostile peer might send
    EXPECT_EQ(nameText(field).size(), kMaxNameLength);
}

TEST(NameFields, LongNamesAreCutWithoutSplittingATwoByteCharacter) {
    // 19 single bytes then a two-byte character: the character would end at byte 21.
    const std::string name = std::string(19, 'a') + "\xB0\xA1";
    EXPECT_EQ(nameText(makeNameField(name)), std::string(19, 'a'));
    EXPECT_EQ(nameText(makeNameField(std::string(25, 'b'))), std::string(20, 'b'));
}

TEST(MessageCatalogue, RowsMatchTheCodesAndTheServerRelaysOnlyPlayersMessages) {
    std::vector<int> known;
    std::vector<int> relayed;
    for (int code = 0; code < 256; ++code) {
        const MessageRow* row = findMessage(static_cast<std::uint8_t>(code));
        if (row == nullptr) {
            continue;
        }
        known.push_back(code);
        EXPECT_EQ(static_cast<int>(row->type), code) << row->name;
        EXPECT_EQ(row->relayed, row->sender == MessageSender::Client) << row->name;
        if (relayedByServer(static_cast<std::uint8_t>(code))) {
            relayed.push_back(code);
        }
    }
    EXPECT_EQ(known, (std::vector<int>{0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 21, 22}));
    EXPECT_EQ(relayed, (std::vector<int>{1, 4, 5, 6, 7, 8, 9, 21, 22}));
    EXPECT_EQ(findMessage(static_cast<std::uint8_t>(MsgType::Hit))->name, "Hit");
}

// Every encoder writes exactly the bytes its row asks a receiver to wait for, one byte fewer
// is not readable, and the decoder gives back what went in.
TEST(MessageCatalogue, EncodersFillTheirRowAndDecodersReadThemBack) {
    PlayerInfo info;
    info.energy = 77;
    info.x = -5;
    const PacketRecord join = makePlayerInfoPacket(4, MsgType::Join, info);
    const PacketRecord steer = makeSteerPacket(4, SteerCode::TurnLeft);
    const PacketRecord place = makeSetPositionPacket(4, 800, -10);
    const PacketRecord hit = makeHitPacket(4, 0x165);
    const PacketRecord fire = makeFirePacket(4, 9, 302, 65533, kMine, 6);

    EXPECT_EQ(bytesOf(steer), (std::vector<std::uint8_t>{0xAA, 4, 6, 1, 6}));
    EXPECT_EQ(bytesOf(place), (std::vector<std::uint8_t>{0xAA, 4, 9, 4, 0x20, 0x03, 0xF6, 0xFF}));
    EXPECT_EQ(bytesOf(hit), (std::vector<std::uint8_t>{0xAA, 4, 22, 2, 0x65, 0x01}));
    EXPECT_EQ(bytesOf(fire), (std::vector<std::uint8_t>{0xAA, 4, 21, 8, 9, 0, 0x2E, 0x01, 0xFD, 0xFF, 1, 6}));

    for (const PacketRecord& record : {join, steer, place, hit, fire}) {
        const MessageRow* row = findMessage(record.header.type);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(record.header.length, row->minPayload) << row->name;
        EXPECT_TRUE(payloadReadable(record)) << row->name;
        PacketRecord cut = record;
        --cut.header.length;
        EXPECT_FALSE(payloadReadable(cut)) << row->name;
    }
    EXPECT_EQ(decodePlayerInfo(join)->x, -5);
    EXPECT_EQ(*decodeSteer(steer), static_cast<std::uint8_t>(SteerCode::TurnLeft));
    EXPECT_EQ(decodeSetPosition(place)->y, -10);
    EXPECT_EQ(*decodeHit(hit), 0x165);
    const FirePayload shot = *decodeFire(fire);
    EXPECT_EQ(std::vector<int>({shot.id, shot.x, shot.y, shot.kind, shot.direction}),
              std::vector<int>({9, 302, 65533, kMine, 6}));
    PacketRecord stamped = fire;
    stampFireId(stamped, 101);
    EXPECT_EQ(decodeFire(stamped)->id, 101);
    EXPECT_FALSE(decodeFire(std::span(fire.payload).first(kFirePayloadSize - 1)));
    EXPECT_TRUE(payloadReadable(makePacket(4, MsgType::Chat)));
    EXPECT_FALSE(payloadReadable(makePacket(4, static_cast<MsgType>(200))));
}

}  // namespace
}  // namespace kestrane
