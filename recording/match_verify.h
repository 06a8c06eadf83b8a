// match_verify.h -- proving that several recordings of one match saw the same world: each is
// replayed, they are lined up on the packets the server relayed, and their worlds are compared
// after every Tick from where each recording starts.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "client/world/world_state.h"
#include "recording/recording_file.h"

namespace kestrane {

struct NamedRecording {
    std::string name;  // how reports call it (the file name)
    Recording recording;
};

// The first disagreement found: between which two recordings, at which Tick of each (counted
// from 1 at each recording's first Tick), how far into the first, and what differs.
struct Disagreement {
    std::string first;
    std::string second;
    std::size_t firstTick = 0;
    std::size_t secondTick = 0;
    double seconds = 0;  // into the first recording
    StateDifference difference;
};

struct VerifyResult {
    bool agreed = false;
    // Ticks at which two worlds were compared, over every pair of recordings.
    std::size_t ticksCompared = 0;
    std::optional<Disagreement> disagreement;
    // Pairs that share no stretch of the match (different matches, or no Tick in common).
    std::vector<std::string> unmatched;
};

// Compares every pair of recordings. Each pair is lined up on the stream of Ticks and relayed
// packets both received (one of them may have started later and ends earlier); from the later
// start, their worlds are compared after every Tick, for the players both know, and for the
// bullets once a Join (which empties every world's bullets) has passed in both. The first
// difference in match order is reported. Recordings that share nothing are listed in
// `unmatched` and make the result a failure.
VerifyResult verifyRecordings(const std::vector<NamedRecording>& recordings);

// The report line of a result: "in agreement: N ticks compared" or the first difference.
std::string describeVerifyResult(const VerifyResult& result);

}  // namespace kestrane
