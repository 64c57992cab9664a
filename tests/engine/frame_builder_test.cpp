// The frame builder's draws as the frame reaches the sender: a still logo on a pass that draws
// it again changes nothing, and every change of what it shows is drawn, once.

#include "engine/frame_builder.h"

#include <gtest/gtest.h>

#include <functional>

namespace vantor {
namespace {

class FrameBuilderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(frame_.Allocate());
        frame_.Describe(OutputFormat{320, 180, 30000, 1200});
        ASSERT_TRUE(overlay_.frames.first.image.FillSolid(48, 18, 10, 20, 30));
        overlay_.overlay_on = 1;
        watermark_.on = false;
        builder_.DrawStart();
        painter_.TakeChanges();
    }

    // Whether the next frame changed anything.
    bool NextFrameChanges()
    {
        builder_.DrawNext();
        const FrameChanges changes = painter_.TakeChanges();
        return changes.all() || !changes.rects().empty();
    }

    OutputFrame frame_;
    FramePainter painter_{frame_};
    OverlayState overlay_;
    PlaybackState playback_;
    HouseWatermark watermark_;
    FrameBuilder builder_{painter_, overlay_, playback_, watermark_};
};

TEST_F(FrameBuilderTest, AStillLogoIsDrawnOnceAndEachChangeOfWhatItShowsOnceMore)
{
    ASSERT_TRUE(NextFrameChanges()) << "the first pass draws the logo";
    const std::function<void(OverlayState&)> changes[] = {
        [](OverlayState& o) { o.x_offset = 7; },
        [](OverlayState& o) { o.corner_code = kCornerLowerLeft; },
        [](OverlayState& o) { o.opacity_percent = 60; },
        [](OverlayState& o) { ASSERT_TRUE(o.frames.first.image.FillSolid(48, 18, 90, 20, 30)); ++o.frames.picture_changes; },
    };
    EXPECT_FALSE(NextFrameChanges()) << "drawn again with nothing changed";
    for (size_t i = 0; i < std::size(changes); ++i) {
        changes[i](overlay_);
        EXPECT_TRUE(NextFrameChanges()) << "change " << i;
        EXPECT_FALSE(NextFrameChanges()) << "drawn again after change " << i;
    }
}

}  // namespace
}  // namespace vantor
