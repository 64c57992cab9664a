// How late frames leave the send call and how they are counted: against a 25p grid (40 ms), a
// late return is measured from its own due time, a stall of whole slots counts once and moves
// the grid on, and an early return moves the grid back.

#include "engine/frame_lateness.h"
#include "engine/send_figures.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantor {
namespace {

constexpr int64_t kMs = 1'000'000;

struct Cadence {
    const char* what;
    std::vector<int64_t> returns_ms;   // when each send call returned
    std::vector<int64_t> lateness_ms;  // what each should count
    uint64_t late;                     // frames more than a period late
};

class FrameCadence : public ::testing::TestWithParam<Cadence> {};

TEST_P(FrameCadence, LatenessAndLateFramesAreCountedFromEachFramesOwnTime)
{
    FrameLateness lateness;
    lateness.Restart(25, 1);
    SendFigures figures;
    std::vector<int64_t> measured;
    for (int64_t at_ms : GetParam().returns_ms) {
        const int64_t late_ns = lateness.Next(1000 * kMs + at_ms * kMs);
        measured.push_back(late_ns / kMs);
        figures.CountFrame(late_ns, lateness.period_ns());
    }
    EXPECT_EQ(measured, GetParam().lateness_ms);
    EXPECT_EQ(figures.frames_late(), GetParam().late);
    EXPECT_EQ(figures.frames_sent(), GetParam().returns_ms.size());
    uint64_t in_buckets = 0;
    for (size_t bucket = 0; bucket <= SendFigures::kLatenessBounds_s.size(); ++bucket)
        in_buckets += figures.lateness_bucket(bucket);
    EXPECT_EQ(in_buckets, figures.frames_sent());
}

INSTANTIATE_TEST_SUITE_P(
    Runs, FrameCadence,
    ::testing::Values(Cadence{"on time", {0, 40, 80, 120}, {0, 0, 0, 0}, 0},
                      Cadence{"one late return, the next on time", {0, 40, 83, 120}, {0, 0, 3, 0}, 0},
                      Cadence{"a stall of two slots counts once", {0, 40, 125, 160, 200}, {0, 0, 45, 0, 0}, 1},
                      Cadence{"an early return moves the grid back", {0, 38, 78, 121}, {0, 0, 0, 3}, 0}),
    [](const auto& info) { return std::to_string(info.index); });

}  // namespace
}  // namespace vantor
