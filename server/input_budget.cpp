// input_budget.cpp -- the token bucket and the spell of drops that ends in removal.
#include "server/input_budget.h"

#include <algorithm>

namespace kestrane {

InputBudget::Verdict InputBudget::take(double now, const InputLimits& limits) {
    if (tokens_ < 0) {
        tokens_ = limits.burst;
        refilledAt_ = now;
    }
    tokens_ = std::min(limits.burst, tokens_ + std::max(0.0, now - refilledAt_) * limits.packetsPerSecond);
    refilledAt_ = std::max(refilledAt_, now);
    if (tokens_ >= 1) {
        tokens_ -= 1;
        return Verdict::Pass;
    }
    const bool newSpell = now - lastDrop_ > kSpellGapSeconds;
    if (newSpell) {
        spellStart_ = now;
    }
    lastDrop_ = now;
    if (now - spellStart_ >= limits.removeAfterSeconds) {
        return Verdict::Remove;
    }
    return newSpell ? Verdict::FirstDrop : Verdict::Drop;
}

}  // namespace kestrane
