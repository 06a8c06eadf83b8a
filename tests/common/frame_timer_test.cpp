// Frame timer questions against an injected clock.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include "common/frame_timer.h"

namespace kestrane {
namespace {

class FrameTimerTest : public ::testing::Test {
protected:
    double now = 1000.0;  // an arbitrary uptime; the timer must not care
    FrameTimer timer{[this] { return now; }};
    void advanceMs(double ms) { now += ms / 1000.0; }
};

TEST(FrameTimerConstants, KeepTheirSinglePrecisionValues) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(framePeriod), 0x3D088889u);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(caretInterval), 0x3DCCCCCDu);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(tickInterval), 0x3D4CCCCDu);
}

TEST_F(FrameTimerTest, FirstQuestionIsDueThenTheFramePeriodMustPass) {
    EXPECT_TRUE(timer.due(kFrameSlot, framePeriod));
    advanceMs(10);
    EXPECT_FALSE(timer.due(kFrameSlot, framePeriod));
    advanceMs(20);  // 30 ms after the due answer
    EXPECT_FALSE(timer.due(kFrameSlot, framePeriod));
    advanceMs(4);  // 34 ms
    EXPECT_TRUE(timer.due(kFrameSlot, framePeriod));
    advanceMs(30);  // re-armed at 34 ms: 30 ms later is not due
    EXPECT_FALSE(timer.due(kFrameSlot, framePeriod));
}

TEST_F(FrameTimerTest, ElapsedExactlyEqualToTheIntervalIsNotDue) {
    now = 0.5;
    EXPECT_TRUE(timer.due(3, 0.25f));
    now = 0.75;  // exactly 0.25 s later, exactly representable
    EXPECT_FALSE(timer.due(3, 0.25f));
    now = 0.7500001;
    EXPECT_TRUE(timer.due(3, 0.25f));
}

TEST_F(FrameTimerTest, SlowTickIsFollowedAtOnceWithoutCatchingUp) {
    EXPECT_TRUE(timer.due(kFrameSlot, framePeriod));
    advanceMs(100);  // a tick that took 100 ms
    EXPECT_TRUE(timer.due(kFrameSlot, framePeriod));
    EXPECT_FALSE(timer.due(kFrameSlot, framePeriod));  // no extra ticks to make up
    advanceMs(20);
    EXPECT_FALSE(timer.due(kFrameSlot, framePeriod));
}

TEST_F(FrameTimerTest, SlotsAreIndependent) {
    EXPECT_TRUE(timer.due(kFrameSlot, framePeriod));
    EXPECT_TRUE(timer.due(kCaretSlot, caretInterval));
    advanceMs(50);
    EXPECT_TRUE(timer.due(kFrameSlot, framePeriod));
    EXPECT_FALSE(timer.due(kCaretSlot, caretInterval));  // asking slot 0 did not touch slot 1
    advanceMs(60);
    EXPECT_TRUE(timer.due(kCaretSlot, caretInterval));
    EXPECT_FALSE(timer.due(-1, 0.0f));
    EXPECT_FALSE(timer.due(FrameTimer::kSlotCount, 0.0f));
}

TEST_F(FrameTimerTest, ResolutionDoesNotDegradeAfterDaysOfUptime) {
    now = 60.0 * 24 * 3600;  // 60 days: past where a 32-bit millisecond counter wraps
    EXPECT_TRUE(timer.due(kFrameSlot, framePeriod));
    advanceMs(33.4);
    EXPECT_TRUE(timer.due(kFrameSlot, framePeriod));  // a float clock would step in 0.25 s here
    advanceMs(33.3);
    EXPECT_FALSE(timer.due(kFrameSlot, framePeriod));
}

TEST(SecondsSinceStart, IsMonotonic) {
    const double a = secondsSinceStart();
    const double b = secondsSinceStart();
    EXPECT_GE(b, a);
    EXPECT_GE(a, 0.0);
}

}  // namespace
}  // namespace kestrane
