#include "engine/frame_builder.h"

#include "engine/engine_constants.h"
#include "engine/logo_cycle.h"

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

bool FrameBuilder::Visible() const
{
    return overlay_.overlay_on != 0 && CycleShows(overlay_.cycle, SteadyNowNs());
}

void FrameBuilder::DrawOverlayStill(const LogoWeights& weights)
{
    const SequenceFrame* node = &overlay_.frames.first;
    if (playback_.is_sequence && playback_.current)
        node = playback_.current;
    else
        playback_.current = node;
    DrawNode(node, weights);
}

// The place is read once, so the frame and the record of it agree. A logo at full strength is
// copied, as with no fade and no opacity: such a frame costs what it always has. The offsets
// count from the safe area's sides; a centred logo has none.
void FrameBuilder::DrawNode(const SequenceFrame* node, const LogoWeights& weights)
{
    shown_ = {node,          overlay_.frames.picture_changes, overlay_.frames.scale_changes, overlay_.x_offset,
              overlay_.y_offset, overlay_.corner_code, overlay_.safe_area, weights};
    const int32_t x = shown_.x + SafeAreaInset(shown_.safe_area, painter_.width());
    const int32_t y = shown_.y + SafeAreaInset(shown_.safe_area, painter_.height());
    const RgbaImage& leaving = overlay_.frames.leaving;
    if (weights.leaving > 0 && weights.shown > 0)
        painter_.DrawCrossFade(leaving, node->shown(), x, y, shown_.corner, weights.leaving, weights.shown);
    else if (weights.leaving > 0)
        painter_.DrawWeighted(leaving, x, y, shown_.corner, weights.leaving, false);
    else if (weights.shown == 255)
        painter_.Draw(node->shown(), x, y, shown_.corner, kCompositeCopy);
    else if (weights.shown > 0)
        painter_.DrawWeighted(node->shown(), x, y, shown_.corner, weights.shown, false);
}

void FrameBuilder::DrawSourceStart()
{
    fade_.Settle(Visible(), overlay_.frames.picture_changes);
    DrawBare(true);
    if (Visible())
        DrawOverlayStill(fade_.Weights(overlay_.opacity_percent));
}

// The clear (35 MB at 4096 x 2160) and the watermark need nothing of the list: only the still
// is drawn under its guard.
void FrameBuilder::DrawStart()
{
    DrawBare(true);
    std::lock_guard lock(overlay_.frames.guard);
    fade_.Settle(Visible(), overlay_.frames.picture_changes);
    if (Visible() && playback_.one_shot)
        DrawOverlayStill(fade_.Weights(overlay_.opacity_percent));
}

LogoWeights FrameBuilder::StepFade()
{
    fade_.Step(Visible(), overlay_.frames.picture_changes,
               FadeFrames(overlay_.fade_ms, playback_.output_rate_N, playback_.output_rate_D));
    fading_ = fade_.running();
    return fade_.Weights(overlay_.opacity_percent);
}

TickResult FrameBuilder::DrawNext()
{
    std::lock_guard lock(overlay_.frames.guard);
    const TickResult tick = playback_.Tick(overlay_);
    const LogoWeights weights = StepFade();
    // A still logo's every pass draws the same picture: held, it costs nothing (a full-frame
    // logo's copy and its comparison are 70 MB a frame at 4096 x 2160).
    if (tick.draw && weights != LogoWeights{} && !Shows(tick.node, weights)) {
        painter_.ClearDrawn();
        DrawNode(tick.node, weights);
    } else {
        DrawHeld(weights);
    }
    return tick;
}

// The stepper keeps its place through all of it; only the picture on the output follows. Off
// fades the picture last drawn (a new picture meanwhile is the leaving one of a cross-fade).
void FrameBuilder::DrawHeld(const LogoWeights& weights)
{
    if (weights == LogoWeights{}) {
        if (shown_.node)
            DrawBare(false);  // Off takes the logo off the air once its fade, if any, has ended
        return;
    }
    if (!shown_.node || shown_.picture_changes != overlay_.frames.picture_changes) {
        // On again, or the pictures changed (the node shown may be gone): the stepper's picture.
        painter_.ClearDrawn();
        DrawOverlayStill(weights);
    } else if (!ShowsPlaceAndWeights(weights)) {
        painter_.ClearDrawn();
        DrawNode(shown_.node, weights);
    }
}

bool FrameBuilder::Shows(const SequenceFrame* node, const LogoWeights& weights) const
{
    return shown_.node == node && shown_.picture_changes == overlay_.frames.picture_changes &&
           ShowsPlaceAndWeights(weights);
}

bool FrameBuilder::ShowsPlaceAndWeights(const LogoWeights& weights) const
{
    return shown_.x == overlay_.x_offset && shown_.y == overlay_.y_offset && shown_.corner == overlay_.corner_code &&
           shown_.safe_area == overlay_.safe_area && shown_.weights == weights &&
           shown_.scale_changes == overlay_.frames.scale_changes;
}

}  // namespace vantor
