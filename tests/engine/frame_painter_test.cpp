#include "engine/frame_painter.h"

#include <gtest/gtest.h>

#include <algorithm>

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
    EXPECT_TRUE(AllZero(frame_));
}

TEST_F(FramePainterTest, MoreDrawingsThanItRemembersFallBackToAFullClear)
{
    const RgbaImage dot = Solid(2, 2);
    for (int32_t i = 0; i < 12; ++i)
        painter_.Draw(dot, i * 10, i * 5, kCornerUpperLeft, kCompositeCopy);
    painter_.ClearDrawn();
    EXPECT_TRUE(AllZero(frame_));
    // After a clear the painter starts counting afresh.
    painter_.Draw(dot, 1, 1, kCornerUpperLeft, kCompositeCopy);
    painter_.ClearDrawn();
    EXPECT_TRUE(AllZero(frame_));
}

}  // namespace
}  // namespace vantor
