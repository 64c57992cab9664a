#include "engine/frame_builder.h"

#include "engine/engine_constants.h"

#include <mutex>

namespace vantor {

void FrameBuilder::DrawBare(bool whole)
{
    if (whole)
        painter_.ClearAll();
    else
        painter_.ClearDrawn();
    overlay_drawn_ = false;
    if (watermark_.on)  // copied, as every frame is: receivers keying it see the same pixels
        painter_.Draw(watermark_.image, kWatermarkX, painter_.height() / kWatermarkYDivisor,
                      overlay_.corner_code, kCompositeCopy);
}

void FrameBuilder::DrawOverlayStill()
{
    const SequenceFrame* node = &overlay_.frames.first;
    if (playback_.is_sequence && playback_.current)
        node = playback_.current;
    else
        playback_.current = node;
    painter_.Draw(node->image, overlay_.x_offset, overlay_.y_offset, overlay_.corner_code, kCompositeCopy);
    overlay_drawn_ = true;
}

void FrameBuilder::DrawSourceStart()
{
    DrawBare(true);
    if (overlay_.overlay_on)
        DrawOverlayStill();
}

// The clear (35 MB at 4096 x 2160) and the watermark need nothing of the list: only the still
// is drawn under its guard.
void FrameBuilder::DrawStart()
{
    DrawBare(true);
    std::lock_guard lock(overlay_.frames.guard);
    if (overlay_.overlay_on && playback_.one_shot)
        DrawOverlayStill();
}

TickResult FrameBuilder::DrawNext()
{
    std::lock_guard lock(overlay_.frames.guard);
    const TickResult tick = playback_.Tick(overlay_);
    if (tick.draw) {
        painter_.ClearDrawn();
        painter_.Draw(tick.node->image, overlay_.x_offset, overlay_.y_offset, overlay_.corner_code, kCompositeCopy);
        overlay_drawn_ = true;
    } else if (!overlay_.overlay_on) {
        // Off takes the logo off the air at once; the stepper keeps its place for the next On.
        if (overlay_drawn_)
            DrawBare(false);
    } else if (!overlay_drawn_) {
        // On again while the stepper holds (a pause, One-Shot before Go): its picture is back.
        painter_.ClearDrawn();
        DrawOverlayStill();
    }
    return tick;
}

}  // namespace vantor
