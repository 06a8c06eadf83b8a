// status_datagram.cpp -- writing and reading the status query and answer.
#include "common/status_datagram.h"

#include <algorithm>
#include <array>

#include "common/little_endian.h"
#include "common/text.h"
#include "kestrane_version.h"

namespace kestrane {

namespace {

constexpr std::array<std::uint8_t, 4> kQueryMagic = {'K', 'S', 'T', 'Q'};
constexpr std::array<std::uint8_t, 4> kAnswerMagic = {'K', 'S', 'T', 'A'};
constexpr std::uint8_t kWantPlayers = 0x01;  // query flag
constexpr std::uint8_t kListFollows = 0x01;  // answer flags
constexpr std::uint8_t kListCut = 0x02;

// Writing the fields in order, little-endian as the game's own packets.
class Writer {
public:
    void bytes(std::span<const std::uint8_t> data) { out_.insert(out_.end(), data.begin(), data.end()); }
    void u8(std::uint8_t value) { out_.push_back(value); }
    void u16(std::uint16_t value) {
        std::uint8_t field[2];
        writeU16(field, value);
        bytes(field);
    }
    void u32(std::uint32_t value) {
        std::uint8_t field[4];
        writeU32(field, value);
        bytes(field);
    }
    // One length byte, then the text cut to `maxBytes` between characters.
    void text(std::string_view value, std::size_t maxBytes) {
        const std::string_view cut = utf8Prefix(value, maxBytes);
        u8(static_cast<std::uint8_t>(cut.size()));
        out_.insert(out_.end(), cut.begin(), cut.end());
    }
    std::size_t size() const { return out_.size(); }
    void truncate(std::size_t size) { out_.resize(size); }
    std::vector<std::uint8_t>& result() { return out_; }

private:
    std::vector<std::uint8_t> out_;
};

// Reading that fails once past the end, and then stays failed.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}
    bool ok() const { return ok_; }
    bool atEnd() const { return at_ == data_.size(); }

    bool magic(const std::array<std::uint8_t, 4>& expected) {
        return take(4) && std::equal(expected.begin(), expected.end(), data_.begin() + static_cast<long>(at_ - 4));
    }
    std::uint8_t u8() { return take(1) ? data_[at_ - 1] : 0; }
    std::uint16_t u16() { return take(2) ? readU16(&data_[at_ - 2]) : 0; }
    std::uint32_t u32() { return take(4) ? readU32(&data_[at_ - 4]) : 0; }
    std::string text(std::size_t maxBytes) {
        const std::size_t length = u8();
        if (length > maxBytes) {
            ok_ = false;
        }
        if (!ok_ || !take(length)) {
            return {};
        }
        std::string value(data_.begin() + static_cast<long>(at_ - length), data_.begin() + static_cast<long>(at_));
        for (char& c : value) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte == 0x7F) {
                c = '?';
            }
        }
        return value;
    }

private:
    bool take(std::size_t count) {
        if (!ok_ || data_.size() - at_ < count) {
            ok_ = false;
            return false;
        }
        at_ += count;
        return true;
    }

    std::span<const std::uint8_t> data_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

}  // namespace

std::vector<std::uint8_t> encodeStatusQuery(const StatusQuery& query, std::size_t size) {
    Writer out;
    out.bytes(kQueryMagic);
    out.u8(kStatusVersion);
    out.u8(query.wantPlayers ? kWantPlayers : 0);
    out.u32(query.token);
    std::vector<std::uint8_t>& bytes = out.result();
    bytes.resize(std::clamp(size, kStatusQuerySize, kStatusMaxDatagram), 0);
    return bytes;
}

std::optional<StatusQuery> decodeStatusQuery(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < kStatusQuerySize || datagram.size() > kStatusMaxDatagram) {
        return std::nullopt;
    }
    Reader in(datagram);
    if (!in.magic(kQueryMagic) || in.u8() != kStatusVersion) {
        return std::nullopt;
    }
    StatusQuery query;
    query.wantPlayers = (in.u8() & kWantPlayers) != 0;  // other flag bits are reserved
    query.token = in.u32();
    return query;  // the rest is padding, whatever it holds
}

std::optional<std::vector<std::uint8_t>> encodeStatusAnswer(const StatusAnswer& answer, std::size_t room) {
    room = std::min(room, kStatusMaxDatagram);
    Writer out;
    out.bytes(kAnswerMagic);
    out.u8(kStatusVersion);
    const std::size_t flagsAt = out.size();
    out.u8(0);
    out.u32(answer.token);
    out.u32(answer.instance);
    out.u16(answer.players);
    out.u16(answer.limit);
    out.u16(answer.port);
    out.text(answer.name, kStatusMaxServerName);
    out.text(answer.version, kStatusMaxVersion);
    if (!answer.hasPlayerList) {
        if (out.size() > room) {
            return std::nullopt;
        }
        return std::move(out.result());
    }
    const std::size_t countAt = out.size();
    out.u8(0);
    if (out.size() > room) {
        return std::nullopt;
    }
    std::uint8_t flags = kListFollows;
    std::uint8_t listed = 0;
    for (const StatusPlayer& player : answer.playerList) {
        const std::size_t before = out.size();
        out.u8(player.number);
        out.text(player.name, kStatusMaxPlayerName);
        if (out.size() > room || listed == 255) {
            out.truncate(before);
            flags |= kListCut;
            break;
        }
        ++listed;
    }
    out.result()[flagsAt] = flags;
    out.result()[countAt] = listed;
    return std::move(out.result());
}

std::optional<StatusAnswer> decodeStatusAnswer(std::span<const std::uint8_t> datagram) {
    if (datagram.size() > kStatusMaxDatagram) {
        return std::nullopt;
    }
    Reader in(datagram);
    if (!in.magic(kAnswerMagic) || in.u8() != kStatusVersion) {
        return std::nullopt;
    }
    StatusAnswer answer;
    const std::uint8_t flags = in.u8();
    answer.token = in.u32();
    answer.instance = in.u32();
    answer.players = in.u16();
    answer.limit = in.u16();
    answer.port = in.u16();
    answer.name = in.text(kStatusMaxServerName);
    answer.version = in.text(kStatusMaxVersion);
    answer.hasPlayerList = (flags & kListFollows) != 0;
    answer.listCut = (flags & kListCut) != 0;
    if ((flags & ~(kListFollows | kListCut)) != 0 || (answer.listCut && !answer.hasPlayerList)) {
        return std::nullopt;
    }
    if (answer.hasPlayerList) {
        const std::size_t count = in.u8();
        for (std::size_t i = 0; i < count && in.ok(); ++i) {
            StatusPlayer player;
            player.number = in.u8();
            player.name = in.text(kStatusMaxPlayerName);
            answer.playerList.push_back(std::move(player));
        }
    }
    // Nothing may follow the last field: an answer is exactly as long as what it carries.
    if (!in.ok() || !in.atEnd()) {
        return std::nullopt;
    }
    return answer;
}

std::string_view programVersion() { return kVersion; }

}  // namespace kestrane
