// fuzz_status_datagram.cpp -- any datagram into both status readers and into the server's
// answering: what a reader accepts must write back to the same meaning, and an answer is
// never larger than the query that asked for it and always reads back.
//
// Input: the datagram itself.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/status_datagram.h"
#include "fuzz/fuzz_support.h"
#include "server/status_responder.h"

namespace kestrane::fuzz {
namespace {

void checkQuery(std::span<const std::uint8_t> datagram) {
    const std::optional<StatusQuery> query = decodeStatusQuery(datagram);
    if (!query) {
        return;
    }
    FUZZ_CHECK(datagram.size() >= kStatusQuerySize && datagram.size() <= kStatusMaxDatagram,
               "a query of a size outside the allowed range is refused");
    const std::optional<StatusQuery> again = decodeStatusQuery(encodeStatusQuery(*query, datagram.size()));
    FUZZ_CHECK(again && again->token == query->token && again->wantPlayers == query->wantPlayers,
               "a query written back reads the same");
}

void checkAnswer(std::span<const std::uint8_t> datagram) {
    const std::optional<StatusAnswer> answer = decodeStatusAnswer(datagram);
    if (!answer) {
        return;
    }
    FUZZ_CHECK(answer->playerList.empty() || answer->hasPlayerList, "players are listed only in a list");
    for (const std::string* text : {&answer->name, &answer->version}) {
        for (const char c : *text) {
            FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "no control character comes through");
        }
    }
    // Written back into the same room, the answer is the same size and means the same.
    const std::optional<std::vector<std::uint8_t>> bytes = encodeStatusAnswer(*answer, datagram.size());
    FUZZ_CHECK(bytes.has_value() && bytes->size() == datagram.size(), "an answer read fits its own room again");
    std::optional<StatusAnswer> again = decodeStatusAnswer(*bytes);
    FUZZ_CHECK(again.has_value(), "an answer written back reads again");
    again->listCut = answer->listCut;  // whether the sender had more players is its own word
    FUZZ_CHECK(*again == *answer, "an answer written back reads the same");
}

// A server with every player number in use and the longest names, answering everything.
struct Responding {
    ServerStatus status;
    StatusResponder responder{status, 255, 7};
    double now = 0;

    Responding() {
        status.setServerName(std::string(kStatusMaxServerName, 'S'));
        std::vector<PlayerListRow> rows;
        for (int number = 1; number <= 255; ++number) {
            rows.push_back({static_cast<std::uint8_t>(number), std::string(kStatusMaxPlayerName, 'p')});
        }
        status.setPlayers(std::move(rows));
    }
};

void checkResponder(std::span<const std::uint8_t> datagram) {
    static Responding server;
    server.now += 1;  // a second between inputs: the rate limit never answers for the reader
    const std::optional<std::vector<std::uint8_t>> answer = server.responder.answerFor(datagram, {{10, 0, 0, 1}}, server.now);
    const std::optional<StatusQuery> query = decodeStatusQuery(datagram);
    FUZZ_CHECK(answer.has_value() == query.has_value(), "every well-formed query is answered, nothing else");
    if (!answer) {
        return;
    }
    FUZZ_CHECK(answer->size() <= datagram.size(), "an answer is never larger than its query");
    const std::optional<StatusAnswer> read = decodeStatusAnswer(*answer);
    FUZZ_CHECK(read.has_value() && read->token == query->token, "the answer reads back and carries the token");
    FUZZ_CHECK(read->hasPlayerList == query->wantPlayers, "the list comes when it was asked for");
}

}  // namespace
}  // namespace kestrane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kestrane::fuzz;
    const std::span<const std::uint8_t> datagram(data, size);
    checkQuery(datagram);
    checkAnswer(datagram);
    checkResponder(datagram);
    return 0;
}
