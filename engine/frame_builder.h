#pragma once
// What goes into the output frame: the start picture of a run, and frame after frame the
// stepper's decision and its draw, with the picture list held still between the two.

#include "engine/frame_painter.h"
#include "engine/playback_state.h"
#include "imagery/overlay_state.h"

namespace vantor {

class FrameBuilder {
public:
    FrameBuilder(FramePainter& painter, OverlayState& overlay, PlaybackState& playback)
        : painter_(painter), overlay_(overlay), playback_(playback) {}

    // The house watermark at its place, 20 pixels from the overlay's corner side.
    void DrawWatermark(const RgbaImage& watermark, int32_t frame_height, int32_t mode);
    // The overlay picture as it stands still: the current node of a complete sequence,
    // otherwise the first, which then becomes current.
    void DrawOverlayStill(int32_t mode);
    // The frame a run starts from: cleared, the watermark while it is on, and in one-shot mode
    // the still that shows until Go. Takes the list's guard for the still.
    void DrawStart(const RgbaImage& watermark, bool watermark_on, int32_t frame_height);
    // One frame: the stepper's tick and, on draw, the cleared frame with the node's picture.
    // Takes the list's guard for both, so the list cannot change between them.
    TickResult DrawNext();

private:
    FramePainter& painter_;
    OverlayState& overlay_;
    PlaybackState& playback_;
};

}  // namespace vantor
