#include "ndi/pacing_clock.h"

#include <gtest/gtest.h>

namespace vantor::ndi {
namespace {

constexpr int64_t kStart = 5'000'000'000;

TEST(PacingClock, TheFirstFrameStartsTheGridAndDeadlinesFollowTheExactRate)
{
    PacingClock clock;
    clock.Restart(30000, 1001);
    EXPECT_EQ(clock.SlotFor(kStart), 0);
    EXPECT_EQ(clock.DeadlineNs(0), kStart);
    EXPECT_EQ(clock.DeadlineNs(1), kStart + 33'366'666);   // 1001 / 30000 s, whole nanoseconds
    EXPECT_EQ(clock.DeadlineNs(30000), kStart + 1001'000'000'000);
}

TEST(PacingClock, DeadlinesStayExactWhereSixtyFourBitProductsWouldOverflow)
{
    PacingClock clock;
    clock.Restart(30000, 1001);
    clock.SlotFor(kStart);
    // About three years of 29.97p: slot x 1001 x 10^9 is far beyond 64 bits.
    const int64_t slot = 30000LL * 100'000;
    EXPECT_EQ(clock.DeadlineNs(slot), kStart + 1001LL * 100'000 * 1'000'000'000);
}

TEST(PacingClock, FramesThatComeInTimeTakeConsecutiveSlots)
{
    PacingClock clock;
    clock.Restart(60000, 1000);
    EXPECT_EQ(clock.SlotFor(kStart), 0);
    EXPECT_EQ(clock.SlotFor(kStart + 100), 1);
    EXPECT_EQ(clock.SlotFor(clock.DeadlineNs(2)), 2);  // exactly on time is in time
    EXPECT_EQ(clock.SlotFor(clock.DeadlineNs(2) + 1), 3);
}

TEST(PacingClock, AFrameAfterAnOverrunTakesTheNextSlotStillToCome)
{
    PacingClock clock;
    clock.Restart(25, 1);
    clock.SlotFor(kStart);
    EXPECT_EQ(clock.SlotFor(clock.DeadlineNs(5) + 1), 6);
    EXPECT_EQ(clock.SlotFor(clock.DeadlineNs(9)), 9);
    EXPECT_EQ(clock.SlotFor(clock.DeadlineNs(9)), 10);
}

TEST(PacingClock, ARestartBeginsANewGridAtTheNextFrameWithTheNewRate)
{
    PacingClock clock;
    clock.Restart(25, 1);
    clock.SlotFor(kStart);
    clock.SlotFor(kStart + 1);
    clock.Restart(60000, 1000);
    EXPECT_EQ(clock.SlotFor(kStart + 777), 0);
    EXPECT_EQ(clock.DeadlineNs(1), kStart + 777 + 16'666'666);
}

}  // namespace
}  // namespace vantor::ndi
