// world_state.cpp -- the compared state of a world: fields, hash and first difference.
#include "client/world/world_state.h"

#include <algorithm>

#include "client/world/client_world.h"
#include "common/player_info.h"

namespace kestrane {

namespace {

// The name reads as one number: its 20 text bytes folded, so names compare and hash as fields.
std::int64_t nameValue(const PlayerRecord& player) {
    std::uint64_t value = 1469598103934665603ull;
    for (const char c : nameText(player.name)) {
        value = (value ^ static_cast<std::uint8_t>(c)) * 1099511628211ull;
    }
    return static_cast<std::int64_t>(value >> 1);
}

void mix(std::uint64_t& hash, std::int64_t value) {
    auto bits = static_cast<std::uint64_t>(value);
    for (int byte = 0; byte < 8; ++byte) {
        hash = (hash ^ (bits & 0xFF)) * 1099511628211ull;
        bits >>= 8;
    }
}

std::vector<const PlayerRecord*> playersByNumber(const ClientWorld& world) {
    std::vector<const PlayerRecord*> players;
    for (const PlayerRecord& player : world.playerRecords) {
        players.push_back(&player);
    }
    std::stable_sort(players.begin(), players.end(),
                     [](const PlayerRecord* a, const PlayerRecord* b) { return a->number < b->number; });
    return players;
}

std::string playerLabel(std::uint8_t number) { return "player " + std::to_string(number); }

std::string bulletLabel(std::size_t index, const BulletRecord& bullet) {
    return "bullet " + std::to_string(index) + " (id " + std::to_string(bullet.id) + " of player " +
           std::to_string(bullet.owner) + ")";
}

std::string fieldText(std::string_view field, std::int64_t value, const PlayerRecord* player) {
    if (field == "name" && player != nullptr) {
        return "\"" + std::string(nameText(player->name)) + "\"";
    }
    return std::to_string(value);
}

}  // namespace

const std::vector<StateField<PlayerRecord>>& playerStateFields() {
    static const std::vector<StateField<PlayerRecord>> fields = {
        {"name", nameValue},
        {"energy", [](const PlayerRecord& p) -> std::int64_t { return p.energy; }},
        {"x", [](const PlayerRecord& p) -> std::int64_t { return p.x; }},
        {"y", [](const PlayerRecord& p) -> std::int64_t { return p.y; }},
        {"direction", [](const PlayerRecord& p) -> std::int64_t { return p.direction; }},
        {"motion", [](const PlayerRecord& p) -> std::int64_t { return p.motion; }},
        {"speed", [](const PlayerRecord& p) -> std::int64_t { return p.speed; }},
    };
    return fields;
}

const std::vector<StateField<BulletRecord>>& bulletStateFields() {
    static const std::vector<StateField<BulletRecord>> fields = {
        {"owner", [](const BulletRecord& b) -> std::int64_t { return b.owner; }},
        {"id", [](const BulletRecord& b) -> std::int64_t { return b.id; }},
        {"kind", [](const BulletRecord& b) -> std::int64_t { return b.kind; }},
        {"x", [](const BulletRecord& b) -> std::int64_t { return b.x; }},
        {"y", [](const BulletRecord& b) -> std::int64_t { return b.y; }},
        {"direction", [](const BulletRecord& b) -> std::int64_t { return b.direction; }},
    };
    return fields;
}

std::uint64_t worldStateHash(const ClientWorld& world) {
    std::uint64_t hash = 1469598103934665603ull;
    for (const PlayerRecord* player : playersByNumber(world)) {
        mix(hash, player->number);
        for (const auto& field : playerStateFields()) {
            mix(hash, field.read(*player));
        }
    }
    mix(hash, static_cast<std::int64_t>(world.bulletRecords.size()));
    for (const BulletRecord& bullet : world.bulletRecords) {
        for (const auto& field : bulletStateFields()) {
            mix(hash, field.read(bullet));
        }
    }
    return hash;
}

std::optional<StateDifference> firstStateDifference(const ClientWorld& a, const ClientWorld& b, StateScope scope) {
    const auto inA = playersByNumber(a);
    const auto inB = playersByNumber(b);
    auto ia = inA.begin();
    auto ib = inB.begin();
    // Both lists are sorted by number: walk them side by side.
    while (ia != inA.end() || ib != inB.end()) {
        if (ib == inB.end() || (ia != inA.end() && (*ia)->number < (*ib)->number)) {
            if (!scope.commonPlayersOnly) {
                return StateDifference{playerLabel((*ia)->number), "present", "yes", "missing"};
            }
            ++ia;
            continue;
        }
        if (ia == inA.end() || (*ib)->number < (*ia)->number) {
            if (!scope.commonPlayersOnly) {
                return StateDifference{playerLabel((*ib)->number), "present", "missing", "yes"};
            }
            ++ib;
            continue;
        }
        for (const auto& field : playerStateFields()) {
            const std::int64_t va = field.read(**ia);
            const std::int64_t vb = field.read(**ib);
            if (va != vb) {
                return StateDifference{playerLabel((*ia)->number), std::string(field.name),
                                       fieldText(field.name, va, *ia), fieldText(field.name, vb, *ib)};
            }
        }
        ++ia;
        ++ib;
    }
    if (!scope.bullets) {
        return std::nullopt;
    }
    const std::size_t common = std::min(a.bulletRecords.size(), b.bulletRecords.size());
    for (std::size_t i = 0; i < common; ++i) {
        for (const auto& field : bulletStateFields()) {
            const std::int64_t va = field.read(a.bulletRecords[i]);
            const std::int64_t vb = field.read(b.bulletRecords[i]);
            if (va != vb) {
                return StateDifference{bulletLabel(i, a.bulletRecords[i]), std::string(field.name), std::to_string(va),
                                       std::to_string(vb)};
            }
        }
    }
    if (a.bulletRecords.size() != b.bulletRecords.size()) {
        return StateDifference{"bullets", "count", std::to_string(a.bulletRecords.size()),
                               std::to_string(b.bulletRecords.size())};
    }
    return std::nullopt;
}

}  // namespace kestrane
