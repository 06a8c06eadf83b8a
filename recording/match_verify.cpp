// match_verify.cpp -- lining recordings up on the relayed stream and comparing their worlds.
#include "recording/match_verify.h"

#include <algorithm>
#include <cstdio>

#include "common/protocol.h"
#include "recording/replay.h"

namespace kestrane {

namespace {

// Groups compared when scoring one way of lining two recordings up, and the mismatches after
// which a way is given up (the right one has none, or a few where a recording differs).
constexpr std::size_t kAlignWindow = 256;
constexpr std::size_t kAlignMismatches = 8;
constexpr std::uint64_t kEmptyGroup = 1469598103934665603ull;  // the hash of no packets

// What a recording received between Ticks, as the server relayed it to every player.
struct Timeline {
    // groups[k]: a hash of the relayed packets received after Tick k-1 and before Tick k (k = 0:
    // since the start, which for a player who joined late is only the end of that stretch).
    std::vector<std::uint64_t> groups;
    // Milliseconds into the recording at which each Tick arrived.
    std::vector<std::uint32_t> tickTimes;
};

Timeline timelineOf(const Recording& recording) {
    Timeline timeline;
    std::uint64_t hash = kEmptyGroup;
    for (const RecordingEvent& event : recording.events) {
        if (event.kind != RecordingEvent::Kind::Packet) {
            continue;
        }
        if (event.packet.msgType() == MsgType::Tick) {
            timeline.groups.push_back(hash);
            timeline.tickTimes.push_back(event.time);
            hash = kEmptyGroup;
        } else if (relayedByServer(event.packet.header.type)) {
            for (const std::uint8_t byte : event.packet.wireBytes()) {
                hash = (hash ^ byte) * 1099511628211ull;
            }
            hash = (hash ^ 0x100) * 1099511628211ull;  // packet boundary
        }
    }
    return timeline;
}

// How well Tick k of `late` being Tick k + offset of `early` fits: the groups that match
// within the window, those with packets first (any two quiet stretches match), from the late
// recording's second group on (its first may be partial).
struct AlignmentScore {
    std::size_t busy = 0;  // matching groups that hold packets
    std::size_t all = 0;   // matching groups
    bool operator>(const AlignmentScore& other) const {
        return busy != other.busy ? busy > other.busy : all > other.all;
    }
};

AlignmentScore alignmentScore(const Timeline& early, const Timeline& late, std::size_t offset) {
    AlignmentScore score;
    std::size_t mismatches = 0;
    for (std::size_t k = 1; k < late.groups.size() && k + offset < early.groups.size() && k <= kAlignWindow; ++k) {
        if (late.groups[k] != early.groups[k + offset]) {
            if (++mismatches > kAlignMismatches) {
                break;
            }
            continue;
        }
        ++score.all;
        score.busy += late.groups[k] != kEmptyGroup ? 1 : 0;
    }
    return score;
}

struct Alignment {
    bool firstIsEarly = true;
    std::size_t offset = 0;  // Tick k of the late one is Tick k + offset of the early one
    AlignmentScore score;
};

// The best way of lining up `a` and `b`, or nothing when no stretch of Ticks matches.
std::optional<Alignment> align(const Timeline& a, const Timeline& b) {
    std::optional<Alignment> best;
    auto consider = [&best](bool firstIsEarly, const Timeline& early, const Timeline& late, std::size_t offset) {
        const AlignmentScore score = alignmentScore(early, late, offset);
        if (score.all > 0 && (!best || score > best->score)) {
            best = Alignment{firstIsEarly, offset, score};
        }
    };
    for (std::size_t offset = 0; offset < a.groups.size(); ++offset) {
        consider(true, a, b, offset);
    }
    for (std::size_t offset = 1; offset < b.groups.size(); ++offset) {
        consider(false, b, a, offset);
    }
    return best;
}

bool isJoin(const RecordingEvent& event) {
    return event.kind == RecordingEvent::Kind::Packet && event.packet.msgType() == MsgType::Join;
}

// Steps `replay` until it has applied `ticks` Ticks (or ends); true when it got there. Notes a
// Join passing on the way in `sawJoin`.
bool runTo(Replay& replay, std::size_t ticks, bool& sawJoin) {
    while (replay.ticks() < ticks && !replay.finished()) {
        sawJoin = sawJoin || isJoin(replay.nextEvent());
        replay.step();
        replay.world().outbox.clear();
    }
    return replay.ticks() >= ticks;
}

std::int64_t absoluteTime(const Recording& recording, std::uint32_t time) {
    return recording.header.startTime + time;
}

struct PairResult {
    std::size_t ticksCompared = 0;
    std::optional<Disagreement> disagreement;
    std::int64_t when = 0;  // wall-clock milliseconds of the disagreement
};

PairResult comparePair(const NamedRecording& early, const NamedRecording& late, std::size_t offset,
                       const Timeline& earlyTimeline) {
    PairResult result;
    Replay earlyReplay(early.recording, [] { return 0.0; });
    Replay lateReplay(late.recording, [] { return 0.0; });
    bool earlySawJoin = false;
    bool lateSawJoin = false;
    for (std::size_t k = 1;; ++k) {
        if (!runTo(lateReplay, k, lateSawJoin) || !runTo(earlyReplay, k + offset, earlySawJoin)) {
            return result;
        }
        StateScope scope;
        scope.commonPlayersOnly = true;
        // Every world empties its bullets at a Join: from the first one the later recording
        // saw, both hold the same bullets.
        scope.bullets = lateSawJoin;
        ++result.ticksCompared;
        if (auto difference = firstStateDifference(earlyReplay.world(), lateReplay.world(), scope)) {
            const std::uint32_t time = earlyTimeline.tickTimes[k + offset - 1];
            result.disagreement = Disagreement{early.name, late.name, k + offset, k, time / 1000.0, *difference};
            result.when = absoluteTime(early.recording, time);
            return result;
        }
    }
}

std::string formatSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", seconds);
    return text;
}

}  // namespace

VerifyResult verifyRecordings(const std::vector<NamedRecording>& recordings) {
    VerifyResult result;
    std::vector<Timeline> timelines;
    for (const NamedRecording& named : recordings) {
        timelines.push_back(timelineOf(named.recording));
    }
    std::int64_t firstWhen = 0;
    for (std::size_t i = 0; i < recordings.size(); ++i) {
        for (std::size_t j = i + 1; j < recordings.size(); ++j) {
            const std::optional<Alignment> alignment = align(timelines[i], timelines[j]);
            if (!alignment) {
                result.unmatched.push_back(recordings[i].name + " and " + recordings[j].name);
                continue;
            }
            const std::size_t early = alignment->firstIsEarly ? i : j;
            const std::size_t late = alignment->firstIsEarly ? j : i;
            PairResult pair = comparePair(recordings[early], recordings[late], alignment->offset, timelines[early]);
            result.ticksCompared = std::max(result.ticksCompared, pair.ticksCompared);
            if (pair.disagreement && (!result.disagreement || pair.when < firstWhen)) {
                result.disagreement = pair.disagreement;
                firstWhen = pair.when;
            }
        }
    }
    result.agreed = !result.disagreement && result.unmatched.empty() && recordings.size() > 1;
    return result;
}

std::string describeVerifyResult(const VerifyResult& result) {
    if (const auto& d = result.disagreement) {
        return "first difference at Tick " + std::to_string(d->firstTick) + " of " + d->first + " (Tick " +
               std::to_string(d->secondTick) + " of " + d->second + "), " + formatSeconds(d->seconds) + " s into " +
               d->first + ": " + d->difference.what + " " + d->difference.field + " is " + d->difference.first +
               " in " + d->first + " but " + d->difference.second + " in " + d->second;
    }
    if (!result.unmatched.empty()) {
        std::string text = "no Ticks in common between";
        for (std::size_t i = 0; i < result.unmatched.size(); ++i) {
            text += (i == 0 ? " " : "; ") + result.unmatched[i];
        }
        return text + " (recordings of different matches?)";
    }
    return "in agreement: " + std::to_string(result.ticksCompared) + " ticks compared";
}

}  // namespace kestrane
