// The timed cycle at short times: 2 ms shown every 5 ms, the first 3 ms after it was set.

#include "engine/logo_cycle.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

constexpr int64_t kMs = 1000000;

TEST(LogoCycle, ShowsForItsTimeEveryPeriodAfterItsDelayAndSaysWhenItNextShows)
{
    OverlayState::Cycle cycle;
    EXPECT_TRUE(CycleShows(cycle, 123 * kMs)) << "without a cycle the logo always shows";
    EXPECT_FALSE(NextShowingNs(cycle, 123 * kMs).has_value());
    cycle.show_ms = 2;
    cycle.every_ms = 5;
    cycle.delay_ms = 3;
    cycle.start_ns = 100 * kMs;
    const struct {
        int64_t at_ms;
        bool shows;
        int64_t next_ms;
    } cases[] = {
        {100, false, 103}, {102, false, 103}, {103, true, 103}, {104, true, 104}, {105, false, 108},
        {107, false, 108}, {108, true, 108},  {110, false, 113}, {113, true, 113}, {1003, true, 1003},
        {1005, false, 1008},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CycleShows(cycle, c.at_ms * kMs), c.shows) << "at " << c.at_ms << " ms";
        EXPECT_EQ(NextShowingNs(cycle, c.at_ms * kMs), c.next_ms * kMs) << "at " << c.at_ms << " ms";
    }
    cycle.start_ns = 0;
    EXPECT_TRUE(CycleShows(cycle, 105 * kMs)) << "a cleared cycle no longer hides the logo";
}

}  // namespace
}  // namespace vantor
