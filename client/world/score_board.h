// score_board.h -- kills and deaths as every client counts them from the Hits it applies, the
// kill feed, and the scoreboard's rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/player_info.h"

namespace kestrane {

struct ClientWorld;

// The kill feed keeps the newest few kills, each for about five seconds of drawn frames.
inline constexpr std::size_t kKillFeedLinesKept = 4;
inline constexpr int kKillFeedLifetime = 150;  // frames, at 30 a second
// Frames a player flashes after a hit that took energy.
inline constexpr std::uint8_t kHitFlashFrames = 8;
// The most kills a PlayerInfo's spare byte carries.
inline constexpr int kMaxCarriedKills = 255;

// One kill: who fired, who went down, with what (kShot or kMine). Names are kept as they were
// at the kill, so a line stays readable after either player has left.
struct KillFeedLine {
    std::uint8_t killer = 0;
    std::uint8_t victim = 0;
    NameField killerName{};
    NameField victimName{};
    std::uint8_t kind = 0;
    int age = 0;  // frames shown
};

// A relayed Hit that took the victim's energy from above 0 to 0 or below: the victim's death,
// the owner's kill (not for a player's own bullet, nor for an owner no longer in the table),
// and a kill feed line.
void creditKill(ClientWorld& world, std::uint8_t owner, std::uint8_t victim, std::uint8_t kind);
// Once per frame, after drawing: ages the kill feed and drops lines older than their lifetime.
void ageKillFeed(ClientWorld& world);
// The kill count the local player carries in the spare byte of its PlayerState.
std::uint8_t carriedKills(int kills);

// One line of the scoreboard.
struct ScoreRow {
    std::uint8_t number = 0;
    NameField name{};
    int kills = 0;
    int deaths = 0;
    int energy = 0;
    bool own = false;
};
// Every player in the table, best first: most kills, then fewest deaths, then the lower
// player number.
std::vector<ScoreRow> scoreboard(const ClientWorld& world);

}  // namespace kestrane
