// score_board.cpp -- counting kills and deaths, the kill feed and the scoreboard's order.
#include "client/world/score_board.h"

#include <algorithm>

#include "client/world/client_world.h"

namespace kestrane {

namespace {

NameField nameOf(const ClientWorld& world, std::uint8_t number) {
    const int index = findPlayerRecord(world, number);
    return index < 0 ? NameField{} : world.playerRecords[static_cast<std::size_t>(index)].name;
}

}  // namespace

void creditKill(ClientWorld& world, std::uint8_t owner, std::uint8_t victim, std::uint8_t kind) {
    const int v = findPlayerRecord(world, victim);
    if (v < 0) {
        return;
    }
    world.playerRecords[static_cast<std::size_t>(v)].deaths += 1;
    const int k = owner == victim ? -1 : findPlayerRecord(world, owner);
    if (k >= 0) {
        world.playerRecords[static_cast<std::size_t>(k)].kills += 1;
    }
    world.killFeed.push_back({owner, victim, nameOf(world, owner), nameOf(world, victim), kind, 0});
    while (world.killFeed.size() > kKillFeedLinesKept) {
        world.killFeed.pop_front();
    }
}

void ageKillFeed(ClientWorld& world) {
    for (KillFeedLine& line : world.killFeed) {
        line.age += 1;
    }
    while (!world.killFeed.empty() && world.killFeed.front().age > kKillFeedLifetime) {
        world.killFeed.pop_front();
    }
}

std::uint8_t carriedKills(int kills) { return static_cast<std::uint8_t>(std::clamp(kills, 0, kMaxCarriedKills)); }

std::vector<ScoreRow> scoreboard(const ClientWorld& world) {
    std::vector<ScoreRow> rows;
    rows.reserve(world.playerRecords.size());
    for (const PlayerRecord& player : world.playerRecords) {
        rows.push_back({player.number, player.name, player.kills, player.deaths, player.energy,
                        player.number == world.localPlayerNumber()});
    }
    std::sort(rows.begin(), rows.end(), [](const ScoreRow& a, const ScoreRow& b) {
        if (a.kills != b.kills) {
            return a.kills > b.kills;
        }
        if (a.deaths != b.deaths) {
            return a.deaths < b.deaths;
        }
        return a.number < b.number;
    });
    return rows;
}

}  // namespace kestrane
