#include "engine/frame_builder.h"

#include "engine/engine_constants.h"

#include <mutex>

namespace vantor {

void FrameBuilder::DrawWatermark(const RgbaImage& watermark, int32_t frame_height, int32_t mode)
{
    painter_.Draw(watermark, kWatermarkX, frame_height / kWatermarkYDivisor, overlay_.corner_code, mode);
}

void FrameBuilder::DrawOverlayStill(int32_t mode)
{
    const SequenceFrame* node = &overlay_.frames.first;
    if (playback_.is_sequence && playback_.current)
        node = playback_.current;
    else
        playback_.current = node;
    painter_.Draw(node->image, overlay_.x_offset, overlay_.y_offset, overlay_.corner_code, mode);
}

// The clear (35 MB at 4096 x 2160) and the watermark need nothing of the list: only the still
// is drawn under its guard.
void FrameBuilder::DrawStart(const RgbaImage& watermark, bool watermark_on, int32_t frame_height)
{
    painter_.ClearAll();
    if (watermark_on)
        DrawWatermark(watermark, frame_height, kCompositeCopy);
    std::lock_guard lock(overlay_.frames.guard);
    if (overlay_.overlay_on && playback_.one_shot)
        DrawOverlayStill(kCompositeCopy);
}

TickResult FrameBuilder::DrawNext()
{
    std::lock_guard lock(overlay_.frames.guard);
    const TickResult tick = playback_.Tick(overlay_);
    if (tick.draw) {
        painter_.ClearDrawn();
        painter_.Draw(tick.node->image, overlay_.x_offset, overlay_.y_offset, overlay_.corner_code, kCompositeCopy);
    }
    return tick;
}

}  // namespace vantor
