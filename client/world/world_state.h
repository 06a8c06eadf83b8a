// world_state.h -- the state every replica of a match must agree on after each Tick, in one
// place: the fields compared, the hash over them, and the first difference between two worlds.
// Frame-paced state (animation frames and counters, chat ageing) and the local player's own
// bookkeeping (shot counts, the down flag, the running flag) differ between honest replicas
// and are left out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrane {

struct ClientWorld;
struct PlayerRecord;
struct BulletRecord;

// One compared field: its name in reports and how to read it.
template <typename Record>
struct StateField {
    std::string_view name;
    std::int64_t (*read)(const Record&);
};

// The compared fields of a player (name, energy, position, facing, motion, speed) and of a
// bullet (owner, id, kind, position, direction).
const std::vector<StateField<PlayerRecord>>& playerStateFields();
const std::vector<StateField<BulletRecord>>& bulletStateFields();

// FNV-1a over the compared fields of every player (by number) and every bullet (in table
// order). Two worlds that applied the same packets have the same hash after every Tick.
std::uint64_t worldStateHash(const ClientWorld& world);

// Where two worlds differ first: the player (by number) or bullet (by index in arrival order),
// the field, and both values; "missing" when one world lacks the player or bullet.
struct StateDifference {
    std::string what;   // "player 3", "bullet 2 (id 17 of player 3)", "bullets"
    std::string field;  // "x", "energy", ..., "count"
    std::string first;  // the first world's value
    std::string second;
};

// Which part of two worlds to compare.
struct StateScope {
    // Compare only the players both worlds have (a recording that started late knows only
    // the players it has heard from); otherwise a player in one world only is a difference.
    bool commonPlayersOnly = false;
    bool bullets = true;
};

// The first difference between the compared state of `a` and `b`, or nothing when they agree.
std::optional<StateDifference> firstStateDifference(const ClientWorld& a, const ClientWorld& b, StateScope scope = {});

}  // namespace kestrane
