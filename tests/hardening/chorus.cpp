// chorus.cpp -- saying, hearing and checking the chorus's numbered lines.
#include "tests/hardening/chorus.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kestrane::testing {

namespace {

constexpr std::uint8_t kLineTag = 'K';
constexpr std::size_t kLineSize = 24;  // tag, 16-bit number, filler

std::optional<std::uint16_t> lineNumber(const PacketRecord& packet) {
    if (packet.msgType() != MsgType::Chat || packet.header.length != kLineSize || packet.payload[0] != kLineTag) {
        return std::nullopt;
    }
    return readU16(&packet.payload[1]);
}

}  // namespace

PacketRecord chorusLine(std::uint8_t speaker, std::uint16_t number) {
    std::vector<std::uint8_t> payload(kLineSize, static_cast<std::uint8_t>('a' + number % 26));
    payload[0] = kLineTag;
    writeU16(&payload[1], number);
    return makePacket(speaker, MsgType::Chat, payload);
}

Chorus::Chorus(std::uint16_t port, int speakers, int listeners, int receiveBuffer)
    : speakers_(static_cast<std::size_t>(speakers)) {
    ready_ = true;
    for (int i = 0; i < speakers + listeners; ++i) {
        members_.push_back(std::make_unique<TestClient>());
        if (members_.back()->join(port, receiveBuffer) == 0) {
            ADD_FAILURE() << "chorus member " << i << " got no number";
            ready_ = false;
        }
    }
    heard_.resize(members_.size());
    others_.resize(members_.size());
    heardFrom_.assign(members_.size(), std::vector<std::uint16_t>(speakers_, 0));
}

bool Chorus::isMember(std::uint8_t number) const {
    return std::any_of(members_.begin(), members_.end(), [number](const auto& m) { return m->number() == number; });
}

std::vector<std::uint8_t> Chorus::numbers() const {
    std::vector<std::uint8_t> result;
    for (const auto& m : members_) {
        result.push_back(m->number());
    }
    return result;
}

bool Chorus::round() {
    for (std::size_t s = 0; s < speakers_; ++s) {
        const PacketRecord line = chorusLine(members_[s]->number(), said_);
        if (!members_[s]->socket().sendAll(line.wireBytes())) {
            ADD_FAILURE() << "speaker " << int{members_[s]->number()} << " could not say line " << said_;
            return false;
        }
    }
    ++said_;
    for (std::size_t m = 0; m < members_.size(); ++m) {
        if (!hear(m)) {
            return false;
        }
    }
    return true;
}

bool Chorus::rounds(int count) {
    for (int i = 0; i < count; ++i) {
        if (!round()) {
            return false;
        }
    }
    return true;
}

// Reads member `m` until it has heard the latest line of every speaker.
bool Chorus::hear(std::size_t m) {
    const auto caughtUp = [&] {
        return std::all_of(heardFrom_[m].begin(), heardFrom_[m].end(), [&](std::uint16_t n) { return n >= said_; });
    };
    while (!caughtUp()) {
        const std::optional<PacketRecord> packet = members_[m]->next();
        if (!packet) {
            ADD_FAILURE() << "player " << int{members_[m]->number()} << " stopped hearing the chorus at line " << said_;
            return false;
        }
        const std::uint8_t sender = packet->header.sender;
        const auto speaker = std::find_if(members_.begin(), members_.begin() + static_cast<std::ptrdiff_t>(speakers_),
                                          [sender](const auto& s) { return s->number() == sender; });
        const std::optional<std::uint16_t> number = lineNumber(*packet);
        if (number && speaker != members_.begin() + static_cast<std::ptrdiff_t>(speakers_)) {
            heard_[m].push_back({sender, *number});
            heardFrom_[m][static_cast<std::size_t>(speaker - members_.begin())] += 1;
        } else {
            others_[m].push_back(*packet);
        }
    }
    return true;
}

void Chorus::expectEveryLineHeardInOrder() const {
    for (std::size_t m = 0; m < members_.size(); ++m) {
        const int player = members_[m]->number();
        // Each speaker's lines in the order said, none missing, none twice.
        for (std::size_t s = 0; s < speakers_; ++s) {
            std::vector<std::uint16_t> lines;
            for (const Line& line : heard_[m]) {
                if (line.speaker == members_[s]->number()) {
                    lines.push_back(line.number);
                }
            }
            ASSERT_EQ(lines.size(), said_) << "player " << player << " from " << int{members_[s]->number()};
            for (std::uint16_t i = 0; i < said_; ++i) {
                ASSERT_EQ(lines[i], i) << "player " << player << " from " << int{members_[s]->number()};
            }
        }
        // One order for everybody: the server relays each packet to all players in turn.
        EXPECT_EQ(heard_[m], heard_[0]) << "player " << player << " heard another order than player "
                                        << int{members_[0]->number()};
        for (const PacketRecord& other : others_[m]) {
            EXPECT_FALSE(isMember(other.header.sender))
                << "player " << player << " heard type " << int{other.header.type} << " in the name of player "
                << int{other.header.sender};
        }
    }
}

std::vector<std::uint8_t> Chorus::leavesHeard(std::size_t member) const {
    std::vector<std::uint8_t> leaves;
    for (const PacketRecord& packet : others_[member]) {
        if (packet.msgType() == MsgType::Leave) {
            leaves.push_back(packet.header.sender);
        }
    }
    return leaves;
}

}  // namespace kestrane::testing
