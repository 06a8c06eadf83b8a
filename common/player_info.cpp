// player_info.cpp -- PlayerInfo encoding and name fields.
#include "common/player_info.h"

#include <algorithm>
#include <cstring>

#include "common/little_endian.h"
#include "common/text.h"

namespace kestrane {

std::string_view nameText(const NameField& field) {
    const auto end = std::find(field.begin(), field.begin() + kMaxNameLength, '\0');
    return {field.data(), static_cast<std::size_t>(end - field.begin())};
}

NameField makeNameField(std::string_view text) {
    NameField field{};
    const std::string_view cut = cp949Prefix(text, kMaxNameLength);
    std::copy(cut.begin(), cut.end(), field.begin());
    return field;
}

void PlayerInfo::encode(std::span<std::uint8_t, kEncodedSize> out) const {
    std::fill(out.begin(), out.end(), 0);
    out[0] = energy;
    out[1] = spare;
    out[2] = direction;
    out[3] = motion;
    out[4] = frame;
    writeI16(&out[6], x);
    writeI16(&out[8], y);
    std::memcpy(&out[10], name.data(), kNameFieldSize);
}

std::array<std::uint8_t, PlayerInfo::kEncodedSize> PlayerInfo::encode() const {
    std::array<std::uint8_t, kEncodedSize> bytes{};
    encode(std::span<std::uint8_t, kEncodedSize>(bytes));
    return bytes;
}

PlayerInfo PlayerInfo::decode(std::span<const std::uint8_t> payload) {
    std::array<std::uint8_t, kEncodedSize> bytes{};
    std::copy_n(payload.begin(), std::min(payload.size(), kEncodedSize), bytes.begin());
    PlayerInfo info;
    info.energy = bytes[0];
    info.spare = bytes[1];
    info.direction = bytes[2];
    info.motion = bytes[3];
    info.frame = bytes[4];
    info.x = readI16(&bytes[6]);
    info.y = readI16(&bytes[8]);
    std::memcpy(info.name.data(), &bytes[10], kNameFieldSize);
    return info;
}

}  // namespace kestrane
