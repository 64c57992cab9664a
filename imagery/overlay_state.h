#pragma once
// The overlay as the operator sets it up: on or off, where it sits, and the pictures. Written
// by the user-interface thread (the Overlay setup dialog and the sequence loader), read by the
// send thread at every frame it draws.

#include "imagery/frame_list.h"

#include <atomic>
#include <cstdint>

namespace vantor {

// The offsets an operator can give, whoever gives them.
inline constexpr int32_t kMaxXOffset = 2100;
inline constexpr int32_t kMaxYOffset = 1100;

struct OverlayState {
    std::atomic<int32_t> overlay_on{0};      // non-zero: the send loop draws the overlay
    std::atomic<int32_t> x_offset{0};        // pixels from the corner's side edge
    std::atomic<int32_t> y_offset{0};        // pixels from the corner's top or bottom edge
    std::atomic<int32_t> corner_code{kCornerUpperRight};
    FrameList frames;
};

}  // namespace vantor
