// chorus.h -- healthy players for fault tests: they say numbered chat lines through a running
// server and check that each of them hears every line, once, in one shared order.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "tests/server/test_client.h"

namespace kestrane::testing {

// What a member heard of the chorus: the speaker's number and the line's number.
struct Line {
    std::uint8_t speaker = 0;
    std::uint16_t number = 0;
    friend bool operator==(const Line&, const Line&) = default;
};

// Speakers say lines; listeners only listen. Every member reads after every round, as a
// healthy client does, so the server never finds one of them falling behind. Test thread only.
class Chorus {
public:
    // Connects `speakers` + `listeners` players to the server on `port`. A `receiveBuffer` in
    // bytes shrinks each member's socket window.
    Chorus(std::uint16_t port, int speakers, int listeners = 0, int receiveBuffer = 0);

    // True when every member connected and got its number.
    bool ready() const { return ready_; }
    // Every speaker says its next line, then every member reads until it has heard that line
    // from every speaker. False (with a test failure) when a member does not hear it in time.
    bool round();
    bool rounds(int count);

    // Every member heard every line of every speaker exactly once, in the order it was said,
    // all members in the same order, and nothing else that names a member: no packet forged
    // in a member's name got through.
    void expectEveryLineHeardInOrder() const;
    // What members heard besides the chorus (each member's own list, in order; Ticks left out).
    const std::vector<PacketRecord>& otherPackets(std::size_t member) const { return others_[member]; }
    // The Leave notices a member heard, as player numbers in the order heard.
    std::vector<std::uint8_t> leavesHeard(std::size_t member) const;

    std::vector<std::uint8_t> numbers() const;
    std::size_t size() const { return members_.size(); }
    TestClient& member(std::size_t index) { return *members_[index]; }

private:
    bool isMember(std::uint8_t number) const;
    bool hear(std::size_t member);

    std::vector<std::unique_ptr<TestClient>> members_;  // speakers first
    std::size_t speakers_ = 0;
    std::uint16_t said_ = 0;  // lines each speaker has said
    bool ready_ = false;
    std::vector<std::vector<Line>> heard_;
    std::vector<std::vector<PacketRecord>> others_;
    std::vector<std::vector<std::uint16_t>> heardFrom_;  // per member, per speaker: lines heard
};

// Bytes of a chat line as the chorus says it, so fault tests can tell them from their own.
PacketRecord chorusLine(std::uint8_t speaker, std::uint16_t number);

}  // namespace kestrane::testing
