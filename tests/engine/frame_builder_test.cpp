// The frame builder while the stepper holds (a pause, One-Shot after its pass): what changes is
// drawn into the next frame and held, and a frame with nothing changed is sent as it is.

#include "engine/frame_builder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <mutex>

namespace vantor {
namespace {

constexpr int32_t kWidth = 320, kHeight = 180, kSide = 8;

uint32_t PixelAt(OutputFrame& frame, int32_t x, int32_t y)
{
    uint32_t pixel;
    std::memcpy(&pixel, frame.pixels() + (size_t(y) * kWidth + x) * 4, 4);
    return pixel;
}

// The frame is transparent black but for one kSide square of `colour` (BGRA read as one
// little-endian word) with its top-left pixel at (left, top); colour 0: no square at all.
::testing::AssertionResult Shows(OutputFrame& frame, uint32_t colour, int32_t left, int32_t top)
{
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) {
            const bool inside = colour && x >= left && y >= top && x < left + kSide && y < top + kSide;
            if (PixelAt(frame, x, y) != (inside ? colour : 0u))
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << std::hex
                                                     << PixelAt(frame, x, y);
        }
    return ::testing::AssertionSuccess();
}

uint32_t Bgra(uint8_t r, uint8_t g, uint8_t b) { return 0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | b; }

const uint32_t kRunColours[] = {Bgra(200, 0, 0), Bgra(0, 200, 0), Bgra(0, 0, 200), Bgra(200, 200, 0)};
const uint32_t kNewColour = Bgra(0, 200, 200);

// Four pictures of a run on air at the upper left, the stepper at the first.
class Rig {
public:
    Rig()
    {
        EXPECT_TRUE(frame.Allocate());
        frame.Describe(OutputFormat{kWidth, kHeight, 30000, 1200});
        watermark.on = false;
        EXPECT_TRUE(Fill(overlay.frames.first.image, kRunColours[0]));
        for (size_t i = 1; i < std::size(kRunColours); ++i) {
            auto node = std::make_unique<SequenceFrame>();
            EXPECT_TRUE(Fill(node->image, kRunColours[i]));
            AppendFrame(overlay.frames, std::move(node));
        }
        playback.current = &overlay.frames.first;
        playback.is_sequence = true;
        overlay.overlay_on = 1;
        overlay.corner_code = kCornerUpperLeft;
    }

    static bool Fill(RgbaImage& image, uint32_t colour)
    {
        return image.FillSolid(kSide, kSide, (colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
    }

    // A new picture as a loader installs it: the list is the picture alone, or the
    // first of a new run of two, and the stepper starts from it.
    void Load(bool run)
    {
        RgbaImage picture;
        ASSERT_TRUE(Fill(picture, kNewColour));
        auto second = std::make_unique<SequenceFrame>();
        ASSERT_TRUE(Fill(second->image, kRunColours[0]));
        FrameChain dropped;
        std::lock_guard lock(overlay.frames.guard);
        ReplaceFirstPicture(overlay.frames, picture);
        dropped = DetachAfterFirst(overlay.frames);
        if (run)
            AppendFrame(overlay.frames, std::move(second));
        playback.current = &overlay.frames.first;
        playback.is_sequence = run;
    }

    OutputFrame frame;
    FramePainter painter{frame};
    OverlayState overlay;
    PlaybackState playback;
    HouseWatermark watermark;
    FrameBuilder builder{painter, overlay, playback, watermark};
};

struct HeldChange {
    const char* what;
    bool one_shot;
    std::function<void(Rig&)> change;
    uint32_t colour;  // what the next held frame shows; 0: nothing
    int32_t left, top;
};

// Forward with a pause of 50 frames, or One-Shot with Go: the fourth picture ends the pass and
// is held; then the change.
TEST(HeldFrame, EveryChangeIsDrawnIntoTheNextHeldFrameAndHeldThere)
{
    const HeldChange cases[] = {
        {"the corner, in a pause", false, [](Rig& r) { r.overlay.corner_code = kCornerLowerRight; }, kRunColours[3],
         kWidth - kSide, kHeight - kSide},
        {"the offsets, after a One-Shot pass", true,
         [](Rig& r) {
             r.overlay.x_offset = 30;
             r.overlay.y_offset = 12;
         },
         kRunColours[3], 30, 12},
        {"a new still, in a pause", false, [](Rig& r) { r.Load(false); }, kNewColour, 0, 0},
        {"a new still, after a One-Shot pass", true, [](Rig& r) { r.Load(false); }, kNewColour, 0, 0},
        {"a new run, in a pause", false, [](Rig& r) { r.Load(true); }, kNewColour, 0, 0},
        {"the overlay off, in a pause", false, [](Rig& r) { r.overlay.overlay_on = 0; }, 0, 0, 0},
        {"the first picture made solid, after a One-Shot pass", true,
         [](Rig& r) { EXPECT_TRUE(MakeFirstPictureSolid(r.overlay.frames)); }, kRunColours[0], 0, 0},
    };
    for (const HeldChange& c : cases) {
        SCOPED_TRACE(c.what);
        auto rig = std::make_unique<Rig>();
        rig->playback.SetPause(c.one_shot ? 0 : 50, kPauseInFrames, 30000, 1200);
        rig->playback.one_shot = c.one_shot;
        rig->playback.go = c.one_shot;
        rig->builder.DrawStart();
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(rig->builder.DrawNext().draw);
        ASSERT_FALSE(rig->builder.DrawNext().draw);
        ASSERT_TRUE(Shows(rig->frame, kRunColours[3], 0, 0));
        rig->painter.TakeChanges();

        c.change(*rig);
        EXPECT_FALSE(rig->builder.DrawNext().draw) << "the stepper goes on holding";
        EXPECT_TRUE(Shows(rig->frame, c.colour, c.left, c.top));
        EXPECT_FALSE(rig->painter.TakeChanges().rects().empty()) << "the change goes to the receivers";
        EXPECT_FALSE(rig->builder.DrawNext().draw);
        const FrameChanges after = rig->painter.TakeChanges();
        EXPECT_TRUE(!after.all() && after.rects().empty()) << "a held frame is sent as it is";
        EXPECT_TRUE(Shows(rig->frame, c.colour, c.left, c.top));
    }
}

}  // namespace
}  // namespace vantor
