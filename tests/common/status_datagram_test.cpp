// The status query and answer: their layout, and what the reader refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/status_datagram.h"

namespace kestrane {
namespace {

using Bytes = std::vector<std::uint8_t>;

StatusAnswer sampleAnswer(int players) {
    StatusAnswer answer;
    answer.token = 0x11223344;
    answer.instance = 0xCAFEF00D;
    answer.players = static_cast<std::uint16_t>(players);
    answer.limit = 255;
    answer.port = 5002;
    answer.name = "Hall";
    answer.version = "0.1.0";
    answer.hasPlayerList = players > 0;
    for (int i = 1; i <= players; ++i) {
        answer.playerList.push_back({static_cast<std::uint8_t>(i), "player " + std::to_string(i)});
    }
    return answer;
}

TEST(StatusDatagram, LayoutIsLittleEndianAfterTheMagicAndVersion) {
    const Bytes query = encodeStatusQuery({0x0A0B0C0D, true});
    ASSERT_EQ(query.size(), kStatusQuerySize);
    EXPECT_EQ(Bytes(query.begin(), query.begin() + 10), (Bytes{'K', 'S', 'T', 'Q', 1, 1, 0x0D, 0x0C, 0x0B, 0x0A}));
    EXPECT_EQ(encodeStatusQuery({1, false}, 1).size(), kStatusQuerySize);  // never shorter than allowed
    EXPECT_EQ(encodeStatusQuery({1, true}, 100'000).size(), kStatusMaxDatagram);

    StatusAnswer answer = sampleAnswer(1);
    answer.playerList[0].name = "Choi";
    const Bytes bytes = encodeStatusAnswer(answer, kStatusQuerySize).value();
    const Bytes expected = {'K', 'S', 'T', 'A', 1, 0x01, 0x44, 0x33, 0x22, 0x11, 0x0D, 0xF0, 0xFE, 0xCA,
                            1, 0, 255, 0, 0x8A, 0x13, 4, 'H', 'a', 'l', 'l', 5, '0', '.', '1', '.', '0',
                            1, 1, 4, 'C', 'h', 'o', 'i'};
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(decodeStatusAnswer(bytes), answer);
}

TEST(StatusDatagram, ReaderRefusesWhatIsNotAWellFormedDatagramOfThisVersion) {
    const Bytes query = encodeStatusQuery({7, false});
    const Bytes answer = encodeStatusAnswer(sampleAnswer(3), kStatusMaxDatagram).value();
    const auto changed = [](Bytes bytes, std::size_t at, std::uint8_t value) {
        bytes[at] = value;
        return bytes;
    };
    const auto resized = [](Bytes bytes, std::size_t size) {
        bytes.resize(size, 0);
        return bytes;
    };
    struct Case {
        const char* what;
        Bytes bytes;
        bool query;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"query", query, true, true},
        {"query padded to the largest size", resized(query, kStatusMaxDatagram), true, true},
        {"query with padding that is not zero", changed(query, 200, 0xFF), true, true},
        {"query one byte short", resized(query, kStatusQuerySize - 1), true, false},
        {"query of only its fields", resized(query, 10), true, false},
        {"empty query", {}, true, false},
        {"oversized query", resized(query, kStatusMaxDatagram + 1), true, false},
        {"query of another version", changed(query, 4, 2), true, false},
        {"query of version 0", changed(query, 4, 0), true, false},
        {"query with a wrong magic", changed(query, 3, 'A'), true, false},
        {"answer taken for a query", resized(answer, kStatusQuerySize), true, false},
        {"answer", answer, false, true},
        {"answer of another version", changed(answer, 4, 2), false, false},
        {"answer with a trailing byte", resized(answer, answer.size() + 1), false, false},
        {"oversized answer", resized(answer, kStatusMaxDatagram + 1), false, false},
        {"answer with unknown flags", changed(answer, 5, 0x05), false, false},
        {"answer cut without its list", changed(answer, 5, 0x02), false, false},
        {"answer with a name over 64 bytes", changed(answer, 20, 65), false, false},
        {"answer with a name running past the end", changed(answer, 20, 200), false, false},
        {"query taken for an answer", query, false, false},
    };
    for (const Case& c : cases) {
        const bool accepted = c.query ? decodeStatusQuery(c.bytes).has_value() : decodeStatusAnswer(c.bytes).has_value();
        EXPECT_EQ(accepted, c.accepted) << c.what;
    }
    // Truncated anywhere, an answer is refused.
    for (std::size_t size = 0; size < answer.size(); ++size) {
        EXPECT_FALSE(decodeStatusAnswer(Bytes(answer.begin(), answer.begin() + static_cast<long>(size))))
            << "cut to " << size;
    }
}

TEST(StatusDatagram, AnswerFitsTheRoomGivenAndSaysWhenItsListIsCut) {
    StatusAnswer full = sampleAnswer(255);
    for (StatusPlayer& player : full.playerList) {
        player.name = std::string(30, 'n');
    }
    const Bytes fixedPart = encodeStatusAnswer(sampleAnswer(0), kStatusMaxDatagram).value();
    for (const std::size_t room : {kStatusQuerySize, std::size_t{1000}, std::size_t{4096}, kStatusMaxDatagram}) {
        const std::optional<Bytes> bytes = encodeStatusAnswer(full, room);
        ASSERT_TRUE(bytes) << room;
        EXPECT_LE(bytes->size(), room);
        const StatusAnswer read = decodeStatusAnswer(*bytes).value();
        EXPECT_TRUE(read.hasPlayerList);
        EXPECT_EQ(read.players, 255);
        // Each listed player takes 32 bytes: as many as fit are there, in order.
        const std::size_t fit = std::min<std::size_t>(255, (room - fixedPart.size() - 1) / 32);
        ASSERT_EQ(read.playerList.size(), fit) << room;
        EXPECT_EQ(read.listCut, fit < 255);
        EXPECT_EQ(read.playerList.back(), full.playerList[fit - 1]);
    }
    EXPECT_FALSE(encodeStatusAnswer(full, fixedPart.size()));  // not even the count fits
    EXPECT_FALSE(encodeStatusAnswer(sampleAnswer(0), fixedPart.size() - 1));
}

TEST(StatusDatagram, TextsAreCutBetweenCharactersAndReadWithoutControlCharacters) {
    StatusAnswer answer = sampleAnswer(1);
    answer.name = std::string(63, 'a') + "한";  // the three-byte character does not fit in 64
    answer.playerList[0].name = "evil\x1b[2Jname\x7f";
    const StatusAnswer read = decodeStatusAnswer(encodeStatusAnswer(answer, kStatusQuerySize).value()).value();
    EXPECT_EQ(read.name, std::string(63, 'a'));
    EXPECT_EQ(read.playerList[0].name, "evil?[2Jname?");
}

}  // namespace
}  // namespace kestrane
