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
    shown_.node = nullptr;
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
    DrawNode(node);
}

// The place is read once, so the frame and the record of it agree.
void FrameBuilder::DrawNode(const SequenceFrame* node)
{
    shown_ = {node, overlay_.frames.picture_changes, overlay_.x_offset, overlay_.y_offset, overlay_.corner_code};
    painter_.Draw(node->image, shown_.x, shown_.y, shown_.corner, kCompositeCopy);
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
        DrawNode(tick.node);
    } else {
        DrawHeld();
    }
    return tick;
}

// The stepper keeps its place through all of it; only the picture on the output follows.
void FrameBuilder::DrawHeld()
{
    if (!overlay_.overlay_on) {
        if (shown_.node)
            DrawBare(false);  // Off takes the logo off the air at once
        return;
    }
    if (!shown_.node || shown_.picture_changes != overlay_.frames.picture_changes) {
        // On again, or the pictures changed (the node shown may be gone): the stepper's picture.
        painter_.ClearDrawn();
        DrawOverlayStill();
    } else if (shown_.x != overlay_.x_offset || shown_.y != overlay_.y_offset || shown_.corner != overlay_.corner_code) {
        painter_.ClearDrawn();
        DrawNode(shown_.node);
    }
}

}  // namespace vantor
