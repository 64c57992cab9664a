#pragma once
// The kernels that draw a logo at less than full strength: its alpha scaled by a weight (the
// opacity, a fade), and a second logo mixed into one already drawn (a cross-fade). Weights are
// 0 to 255, 255 the picture as it is; alphas are rounded to nearest. Pixels are blue, green,
// red, alpha with straight alpha, as in the frame.

#include <cstddef>
#include <cstdint>

namespace vantor {

// alpha x weight / 255, rounded to nearest, exactly.
constexpr uint8_t ScaledAlpha(uint32_t alpha, uint32_t weight)
{
    const uint32_t t = alpha * weight + 128;
    return static_cast<uint8_t>((t + (t >> 8)) >> 8);
}

// The frame's pixels become the picture's with their alpha scaled.
void CopyRowWeighted(const uint8_t* src, uint8_t* dst, size_t pixels, uint8_t weight);

// The picture, its alpha scaled, is added to what the frame holds: the alphas sum (at most 255)
// and each colour is the alpha-weighted mean of the two. Over a clear pixel it is the picture
// at its weight; two logos drawn at complementary weights dissolve into each other.
void MixRowWeighted(const uint8_t* src, uint8_t* dst, size_t pixels, uint8_t weight);

// A cross-fade in one pass over the frame: the same bytes as the leaving picture's weighted copy
// followed by the shown picture's weighted mix, for a third less memory traffic and no second
// walk over the frame.
void CrossFadeRow(const uint8_t* leaving, const uint8_t* shown, uint8_t* dst, size_t pixels, uint8_t leaving_weight,
                  uint8_t shown_weight);

}  // namespace vantor
