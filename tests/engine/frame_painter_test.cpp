#include "engine/frame_painter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace vantor {
namespace {

RgbaImage Solid(int32_t w, int32_t h)
{
    RgbaImage image;
    EXPECT_TRUE(image.FillSolid(w, h, 10, 20, 30));
    return image;
}

bool AllZero(OutputFrame& frame)
{
    return std::all_of(frame.pixels(), frame.pixels() + frame.used_bytes(), [](uint8_t b) { return b == 0; });
}

class FramePainterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(frame_.Allocate());
        frame_.Describe(OutputFormat{320, 180, 30000, 1200});
    }
    OutputFrame frame_;
    FramePainter painter_{frame_};
};

TEST_F(FramePainterTest, ClearingWhatWasDrawnLeavesTheSameFrameAsAFullClear)
{
    const RgbaImage logo = Solid(48, 18);
    const RgbaImage big = Solid(400, 10);
    painter_.Draw(logo, 20, 1, kCornerUpperRight, kCompositeBlend);
    painter_.Draw(logo, -10, -5, kCornerLowerLeft, kCompositeCopy);
    painter_.Draw(big, 0, 0, kCornerCentre, kCompositeCopy);
    painter_.Draw(logo, 5000, 0, kCornerUpperLeft, kCompositeCopy);  // outside: nothing drawn
    EXPECT_FALSE(AllZero(frame_));
    painter_.ClearDrawn();
    painter_.TakeChanges();
    EXPECT_TRUE(AllZero(frame_));
}

TEST_F(FramePainterTest, MoreDrawingsThanItRemembersFallBackToAFullClear)
{
    const RgbaImage dot = Solid(2, 2);
    for (int32_t i = 0; i < 12; ++i)
        painter_.Draw(dot, i * 10, i * 5, kCornerUpperLeft, kCompositeCopy);
    painter_.ClearDrawn();
    painter_.TakeChanges();
    EXPECT_TRUE(AllZero(frame_));
    // After a clear the painter starts counting afresh.
    painter_.Draw(dot, 1, 1, kCornerUpperLeft, kCompositeCopy);
    painter_.ClearDrawn();
    painter_.TakeChanges();
    EXPECT_TRUE(AllZero(frame_));
}

// Half transparent, so that a draw that reads what lies under it shows whether that was cleared.
RgbaImage Translucent(int32_t w, int32_t h, uint8_t red)
{
    RgbaImage image = Solid(w, h);
    for (size_t i = 0; i < size_t(w) * h; ++i) {
        image.pixels.get()[i * 4 + 2] = red;
        image.pixels.get()[i * 4 + 3] = 128;
    }
    return image;
}

// The clear of what was drawn is left for the next draw: the frame sent must be what a full
// clear and the same draw make, whether that draw overwrites the same pixels (the clear is
// dropped), reads them (it must come first) or lands beside them.
TEST_F(FramePainterTest, AClearLeftForTheNextDrawGivesTheFrameAFullClearWould)
{
    const RgbaImage old_logo = Translucent(48, 18, 200), logo = Translucent(48, 18, 40);
    struct Case {
        const char* name;
        std::function<void(FramePainter&)> draw;
    };
    const Case cases[] = {
        {"copy over the same pixels", [&](FramePainter& p) { p.Draw(logo, 10, 10, kCornerUpperLeft, kCompositeCopy); }},
        {"blend over the same pixels",
         [&](FramePainter& p) { p.Draw(logo, 10, 10, kCornerUpperLeft, kCompositeBlend); }},
        {"weighted copy", [&](FramePainter& p) { p.DrawWeighted(logo, 10, 10, kCornerUpperLeft, 100, false); }},
        {"weighted mix", [&](FramePainter& p) { p.DrawWeighted(logo, 10, 10, kCornerUpperLeft, 100, true); }},
        {"cross-fade", [&](FramePainter& p) { p.DrawCrossFade(old_logo, logo, 10, 10, kCornerUpperLeft, 90, 165); }},
        {"copy beside, overlapping", [&](FramePainter& p) { p.Draw(logo, 14, 12, kCornerUpperLeft, kCompositeCopy); }},
        {"nothing", [](FramePainter&) {}},
    };
    for (const Case& c : cases) {
        painter_.ClearAll();
        painter_.Draw(old_logo, 10, 10, kCornerUpperLeft, kCompositeCopy);
        painter_.TakeChanges();
        painter_.ClearDrawn();
        c.draw(painter_);
        painter_.TakeChanges();
        OutputFrame expected;
        ASSERT_TRUE(expected.Allocate());
        expected.Describe(OutputFormat{320, 180, 30000, 1200});
        FramePainter reference(expected);
        reference.ClearAll();
        c.draw(reference);
        reference.TakeChanges();
        EXPECT_TRUE(std::equal(frame_.pixels(), frame_.pixels() + frame_.used_bytes(), expected.pixels())) << c.name;
    }
}

// Every pixel that differs between two sends lies in a rectangle the painter reported.
::testing::AssertionResult ChangesCover(const std::vector<uint8_t>& before, OutputFrame& frame,
                                        const FrameChanges& changes)
{
    if (changes.all())
        return ::testing::AssertionSuccess();
    for (int32_t y = 0; y < frame.height(); ++y)
        for (int32_t x = 0; x < frame.width(); ++x) {
            const size_t at = (size_t(y) * frame.width() + x) * 4;
            if (std::equal(&before[at], &before[at] + 4, frame.pixels() + at))
                continue;
            const auto rects = changes.rects();
            if (std::none_of(rects.begin(), rects.end(), [&](const PixelRect& r) {
                    return x >= r.left && x < r.left + r.width && y >= r.top && y < r.top + r.height;
                }))
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " changed unreported";
        }
    return ::testing::AssertionSuccess();
}

TEST_F(FramePainterTest, WhatItReportsAsChangedCoversEveryPixelThatChangedSinceTheLastSend)
{
    const RgbaImage logo = Solid(48, 18);
    const RgbaImage wide = Solid(100, 6);
    EXPECT_TRUE(painter_.TakeChanges().all()) << "a new painter knows nothing of the frame";
    painter_.ClearAll();
    EXPECT_TRUE(painter_.TakeChanges().all());
    const std::function<void()> steps[] = {
        [&] { painter_.Draw(logo, 20, 1, kCornerUpperRight, kCompositeBlend); },
        [&] {},  // a held frame
        [&] { painter_.ClearDrawn(); painter_.Draw(wide, 0, 0, kCornerLowerLeft, kCompositeCopy); },
        [&] { painter_.ClearDrawn(); painter_.Draw(logo, -10, -5, kCornerUpperLeft, kCompositeCopy); },
        [&] { painter_.ClearDrawn(); },
        [&] { painter_.Draw(logo, 0, 0, kCornerCentre, kCompositeCopy); painter_.Draw(wide, 3, 3, kCornerLowerRight, kCompositeCopy); },
        [&] { painter_.ClearDrawn(); painter_.Draw(logo, 5000, 0, kCornerUpperLeft, kCompositeCopy); },
        [&] {  // more rectangles than it names: the last step, and the only one that changes all
            for (int32_t i = 0; i <= int32_t(FrameChanges::kMaxRects); ++i)
                painter_.Draw(logo, i * 30, 100, kCornerUpperLeft, kCompositeCopy);
        },
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        const std::vector<uint8_t> sent(frame_.pixels(), frame_.pixels() + frame_.used_bytes());
        steps[i]();
        const FrameChanges changes = painter_.TakeChanges();
        EXPECT_EQ(changes.all(), i + 1 == std::size(steps)) << "step " << i;
        EXPECT_TRUE(ChangesCover(sent, frame_, changes)) << "step " << i;
    }
    EXPECT_TRUE(painter_.TakeChanges().rects().empty()) << "a held frame changed something";
}

}  // namespace
}  // namespace vantor
