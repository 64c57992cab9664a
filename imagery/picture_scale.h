#pragma once
// The logo's size on the output: a percentage of its file's pixels, or fitted to the format
// (scaled by the output's height over 1080, so one artwork keeps its share of the picture at
// every format). Scaled copies are made by the thread that changes the list, never per frame.

#include "imagery/frame_list.h"

#include <cstdint>

namespace vantor {

inline constexpr int32_t kScaleFit = 0;  // the scale that fits the logo to the format
inline constexpr int32_t kMaxScalePercent = 400;
inline constexpr int32_t kFitReferenceHeight = 1080;

struct PixelSize {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const PixelSize&) const = default;
};

// The size a w x h picture shows at with this scale on an output `output_height` lines high,
// rounded to nearest and at least one pixel each way.
PixelSize ScaledSize(int32_t w, int32_t h, int32_t scale, int32_t output_height);

// Makes `scaled` the picture at `size`, filtered with premultiplied alpha and brought back to
// straight alpha, so a half-transparent edge does not darken. False, and `scaled` empty, when
// the memory rule leaves no room for it or there is nothing to scale.
bool ScalePicture(const RgbaImage& picture, PixelSize size, RgbaImage& scaled);

// The scaled copy the list's scale and format ask of `picture`: empty when it shows as it is.
RgbaImage ScaledForList(const FrameList& frames, const RgbaImage& picture);

// Gives every frame from `from` on the scaled copy the list asks for; only for frames not yet
// linked into the list, which the send thread cannot reach.
void ScaleChain(const FrameList& frames, SequenceFrame* from);

// Takes a new scale or output height and remakes every frame's scaled copy: made aside, swapped
// in under the guard at once, the old ones freed after it. User-interface thread.
void RescaleFrames(FrameList& frames, int32_t scale, int32_t output_height);

}  // namespace vantor
