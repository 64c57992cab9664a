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
    const struct {
        const char* change;
        std::function<void(OverlayState&)> make;
    } changes[] = {
        {"nothing", [](OverlayState&) {}},
        {"offset", [](OverlayState& o) { o.x_offset = 7; }},
        {"corner", [](OverlayState& o) { o.corner_code = kCornerLowerLeft; }},
        {"opacity", [](OverlayState& o) { o.opacity_percent = 60; }},
        {"new picture", [](OverlayState& o) {
             ASSERT_TRUE(o.frames.first.image.FillSolid(48, 18, 90, 20, 30));
             ++o.frames.picture_changes;
         }},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.change);
        c.make(overlay_);
        EXPECT_EQ(NextFrameChanges(), std::string(c.change) != "nothing");
        EXPECT_FALSE(NextFrameChanges()) << "drawn again with nothing changed";
    }
}

}  // namespace
}  // namespace vantor
