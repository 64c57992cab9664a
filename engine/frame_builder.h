#pragma once
// What goes into the output frame: the start picture of a run, and frame after frame the
// stepper's decision and its draw, with the picture list held still between the two.

#include "engine/frame_painter.h"
#include "engine/logo_fade.h"
#include "engine/playback_state.h"
#include "imagery/overlay_state.h"

#include <atomic>

namespace vantor {

// The house watermark and whether it is still due (until an overlay has been on). The picture
// is loaded once at start-up; the flag is written by the user-interface thread.
struct HouseWatermark {
    RgbaImage image;
    std::atomic<bool> on{true};
};

class FrameBuilder {
public:
    FrameBuilder(FramePainter& painter, OverlayState& overlay, PlaybackState& playback,
                 const HouseWatermark& watermark)
        : painter_(painter), overlay_(overlay), playback_(playback), watermark_(watermark) {}

    // The first frame of a source: the whole frame cleared, the watermark while it is due and
    // the overlay's still while it is on. User-interface thread, the loop stopped.
    void DrawSourceStart();
    // The frame a run starts from: bare, and in one-shot mode the still that shows until Go.
    // Takes the list's guard for the still.
    void DrawStart();
    // One frame: the stepper's tick and, on draw, the cleared frame with the node's picture.
    // While the stepper holds (a pause, One-Shot before Go or after its pass), what the output
    // should show is still drawn at once: an overlay switched off leaves the frame bare; on,
    // the held picture follows its corner and offsets, and a new picture (or the first of a
    // new run) takes its place, held in turn. With a fade, each of these mixes over the fade's
    // frames, and the frame is drawn anew at each. Takes the list's guard for both, so the list
    // cannot change between them.
    TickResult DrawNext();
    // The frame a run ends with: nothing keyed, the house watermark while it is due. Receivers
    // hold the last picture they got, so a stopped copy must not leave its logo keyed on them.
    void DrawStop() { DrawBare(false); }
    // A fade or cross-fade is under way; any thread.
    bool fading() const { return fading_; }

private:
    // Nothing but the house watermark while it is due; whole: the format's every byte cleared,
    // otherwise only what was drawn.
    void DrawBare(bool whole);
    // The overlay picture as it stands still: the current node of a complete sequence,
    // otherwise the first, which then becomes current.
    void DrawOverlayStill(const LogoWeights& weights);
    // The node's picture at the overlay's place and weight, on top of what the frame shows,
    // with the leaving picture under it during a cross-fade.
    void DrawNode(const SequenceFrame* node, const LogoWeights& weights);
    // What a held frame needs: nothing when it shows what it should.
    void DrawHeld(const LogoWeights& weights);
    // Whether the frame shows the node's picture, as the list stands, at the overlay's place and
    // with these weights: drawing it again would change no pixel.
    bool Shows(const SequenceFrame* node, const LogoWeights& weights) const;
    bool ShowsPlaceAndWeights(const LogoWeights& weights) const;
    // Whether the logo should be keyed now: on, and shown by its cycle if it has one.
    bool Visible() const;
    // The fade moved on by one frame; the weights it gives.
    LogoWeights StepFade();

    FramePainter& painter_;
    OverlayState& overlay_;
    PlaybackState& playback_;
    const HouseWatermark& watermark_;
    // What the frame shows of the overlay, as it was drawn; the painter's owner's.
    struct Shown {
        const SequenceFrame* node = nullptr;  // null: no overlay picture
        uint32_t picture_changes = 0;         // the list's counts then
        uint32_t scale_changes = 0;
        int32_t x = 0, y = 0, corner = 0, safe_area = 0;
        LogoWeights weights;
    };
    Shown shown_;
    LogoFade fade_;
    std::atomic<bool> fading_{false};  // written by the send thread at each frame
};

}  // namespace vantor
