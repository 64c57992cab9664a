// Taking a frame where the caller says it changed: only there is it compared, the picture kept
// and the delta for receivers stay alike, and the band of rows compared whole finds the rest.

#include "ndi/frame_taker.h"
#include "qtrle_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace vantor::ndi {
namespace {

constexpr int32_t kW = 300;  // wider than the longest skip code, so skips come in pieces
constexpr int32_t kH = 20;

// The caller's frame and what the sender and a receiver hold, all starting transparent.
struct Scene {
    Scene()
    {
        taken.Reset(kW, kH);
        shown.Reset(kW, kH);
    }
    void Set(int32_t x, int32_t y, uint32_t value) { std::memcpy(&frame[(size_t(y) * kW + x) * 4], &value, 4); }
    uint32_t Sent(int32_t x, int32_t y) const
    {
        uint32_t value;
        std::memcpy(&value, &frame[(size_t(y) * kW + x) * 4], 4);
        return value;
    }
    // Takes the frame and draws the delta as a receiver would; false when they disagree.
    bool Take(const ChangedArea& area, RowBand whole_rows = {})
    {
        delta.Clear();
        TakeFrame(frame.data(), kW * 4, taken, &delta, area, whole_rows);
        if (!DrawQtrleFrame(delta.bytes(), shown))
            return false;
        for (int32_t y = 0; y < kH; ++y)
            if (!std::equal(taken.Row(y), taken.Row(y) + kW, shown.Row(y)))
                return false;
        return true;
    }

    std::vector<uint8_t> frame = std::vector<uint8_t>(size_t(kW) * kH * 4, 0);
    Picture taken;
    Picture shown;
    ByteBuffer delta;
};

ChangedArea Hint(std::initializer_list<NDIlib_changed_rect_t> rects)
{
    ChangedArea area;
    area.Add(std::span(rects.begin(), rects.size()));
    return area;
}

struct PlaceCase {
    const char* what;
    NDIlib_changed_rect_t rect;
    int32_t x, y;
    bool taken;
};

class HintedPlaces : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(HintedPlaces, AChangeIsTakenExactlyWhenItLiesInsideTheHint)
{
    const PlaceCase c = GetParam();
    Scene scene;
    scene.Set(c.x, c.y, 0x80402010u);
    ASSERT_TRUE(scene.Take(Hint({c.rect})));
    EXPECT_EQ(scene.taken.Row(c.y)[c.x], c.taken ? 0x80402010u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, HintedPlaces,
    ::testing::Values(PlaceCase{"TopLeftCorner", {10, 5, 20, 3}, 10, 5, true},
                      PlaceCase{"BottomRightCorner", {10, 5, 20, 3}, 29, 7, true},
                      PlaceCase{"OnePastTheRight", {10, 5, 20, 3}, 30, 6, false},
                      PlaceCase{"OneBelow", {10, 5, 20, 3}, 15, 8, false},
                      PlaceCase{"OneLeft", {10, 5, 20, 3}, 9, 6, false},
                      PlaceCase{"PartlyLeftOfTheFrame", {-50, 0, 52, 2}, 1, 1, true},
                      PlaceCase{"PartlyRightOfTheFrame", {kW - 2, kH - 1, 1000, 1000}, kW - 1, kH - 1, true},
                      PlaceCase{"HugeValuesDoNotWrap", {2147483000, 0, 2147483000, kH}, 0, 0, false},
                      PlaceCase{"EmptyRectangle", {0, 0, 0, kH}, 0, 3, false}),
    [](const auto& info) { return info.param.what; });

TEST(HintedTaking, NothingHintedTakesNothingAndTheDeltaChangesNothing)
{
    Scene scene;
    scene.Set(100, 10, 0xFFFFFFFFu);
    ChangedArea nothing;
    nothing.Add({});
    EXPECT_TRUE(nothing.limited());
    ASSERT_TRUE(scene.Take(nothing));
    EXPECT_EQ(scene.taken.Row(10)[100], 0u);
    EXPECT_LE(scene.delta.size(), 16u);
}

TEST(HintedTaking, TwoRectanglesOnOneRowKeepPictureAndDeltaAlikeAcrossTheGap)
{
    Scene scene;
    scene.Set(5, 4, 1);
    scene.Set(150, 4, 2);  // between the two rectangles, not hinted
    scene.Set(280, 4, 3);
    ASSERT_TRUE(scene.Take(Hint({{270, 0, 20, 10}, {0, 2, 10, 5}})));
    EXPECT_EQ(scene.taken.Row(4)[5], 1u);
    EXPECT_EQ(scene.taken.Row(4)[280], 3u);
}

TEST(HintedTaking, TooManyRectanglesOrNoHintAtAllCompareTheWholeFrame)
{
    std::vector<NDIlib_changed_rect_t> many(ChangedArea::kMaxRects + 1, NDIlib_changed_rect_t{0, 0, 1, 1});
    ChangedArea overflowing;
    overflowing.Add(many);
    for (const ChangedArea& area : {overflowing, ChangedArea{}}) {
        Scene scene;
        scene.Set(kW - 1, kH - 1, 7);
        ASSERT_TRUE(scene.Take(area));
        EXPECT_EQ(scene.taken.Row(kH - 1)[kW - 1], 7u);
    }
}

TEST(HintedTaking, RowsOfTheWholeBandAreComparedWhateverTheHint)
{
    Scene scene;
    for (int32_t y = 0; y < kH; ++y)
        scene.Set(200, y, 9);
    ChangedArea nothing;
    nothing.Add({});
    ASSERT_TRUE(scene.Take(nothing, RowBand{6, 9}));
    for (int32_t y = 0; y < kH; ++y)
        EXPECT_EQ(scene.taken.Row(y)[200], y >= 6 && y < 9 ? 9u : 0u) << "row " << y;
}

TEST(HintedTaking, HintsBeforeOneFrameAddUpUntilForgotten)
{
    ChangedArea area;
    const NDIlib_changed_rect_t left{0, 0, 10, 1}, right{20, 0, 10, 1};
    area.Add(std::span(&right, 1));
    area.Add(std::span(&left, 1));
    ChangedArea::Spans spans;
    const auto row = area.RowSpans(0, kW, spans);
    ASSERT_EQ(row.size(), 2u);
    EXPECT_EQ(row[0], (PixelSpan{0, 10}));
    EXPECT_EQ(row[1], (PixelSpan{20, 30}));
    area.Forget();
    EXPECT_FALSE(area.limited());
}

struct SweepCase {
    int32_t height, rate_N, rate_D;
    int64_t slot_step;  // 1: a frame in every slot; more: a late machine sending every so many
};

class Sweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(Sweep, EveryRowIsComparedWholeWithinEachSecondOfSlots)
{
    const SweepCase c = GetParam();
    RowSweep sweep;
    sweep.Restart(c.height, c.rate_N, c.rate_D);
    const int64_t slots_per_second = c.rate_N / c.rate_D;  // whole slots within one second
    int64_t slot = 0;
    for (int second = 0; second < 3; ++second) {
        std::vector<int> seen(size_t(c.height), 0);
        // The frames from the first after the last second's up to the first at or past its end.
        const int64_t last_slot = slot + slots_per_second - 1;
        for (bool ended = false; !ended; slot += c.slot_step) {
            ended = slot >= last_slot;
            const RowBand band = sweep.Next(slot);
            for (int32_t y = 0; y < c.height; ++y)
                seen[size_t(y)] += band.Contains(y);
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 0), 0) << "second " << second;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Sweep,
                         ::testing::Values(SweepCase{2160, 60000, 1000, 1}, SweepCase{720, 30000, 1200, 1},
                                           SweepCase{1080, 30000, 1001, 1}, SweepCase{18, 60000, 1000, 1},
                                           SweepCase{541, 60000, 1200, 1}, SweepCase{2160, 30000, 1001, 3},
                                           SweepCase{1080, 60000, 1001, 7}, SweepCase{720, 30000, 1200, 40}));

}  // namespace
}  // namespace vantor::ndi
