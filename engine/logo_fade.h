#pragma once
// How strongly the logo shows, frame by frame. On, Off and a new picture move its strength
// over the fade's frames; a fade begun during another starts from where that one is. A new
// picture over one still showing cross-fades: the old one leaves as the new one comes, their
// weights complementary. Weights are shares of the set opacity. Send thread only, and the
// user-interface thread while the loop is stopped.

#include <cstdint>

namespace vantor {

struct LogoWeights {
    uint8_t shown = 0;    // the picture the stepper names
    uint8_t leaving = 0;  // the picture it replaced, while a cross-fade runs
    bool operator==(const LogoWeights&) const = default;
};

// Frames a fade of `fade_ms` takes at the rate, rounded to nearest; 0 is a cut.
int32_t FadeFrames(int32_t fade_ms, int32_t frame_rate_N, int32_t frame_rate_D);

class LogoFade {
public:
    // Where the settings put it, at once: a run starts without a fade.
    void Settle(bool visible, uint32_t picture_changes);
    // One frame on, towards `visible`, with the list's count of picture changes.
    void Step(bool visible, uint32_t picture_changes, int32_t fade_frames);
    LogoWeights Weights(int32_t opacity_percent) const;
    // Some weight is still on its way.
    bool running() const { return (level_ > 0 && level_ < 1) || cross_ < 1; }

private:
    double level_ = 0;         // the shown picture's share of the opacity
    double leaving_from_ = 0;  // the leaving picture's share as its cross-fade began
    double cross_ = 1;         // how far the cross-fade is; 1: none runs
    uint32_t picture_changes_ = 0;
};

}  // namespace vantor
