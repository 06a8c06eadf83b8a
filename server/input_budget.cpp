// input_budget.cpp -- the token bucket and the spell of drops that ends in removal.
#include "server/input_budget.h"

namespace kestrane {

InputBudget::Verdict InputBudget::take(double now, const InputLimits& limits) {
    if (!bucket_) {
        bucket_ = TokenBucket{limits.burst, now};
    }
    if (bucket_->take(now, limits.packetsPerSecond, limits.burst)) {
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
