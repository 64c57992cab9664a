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
inline constexpr int32_t kMaxOpacityPercent = 100;

// Where the offsets are measured from: the frame's edge, or the action-safe (3.5 % in from each
// edge) or graphics-safe (5 %) area of EBU R 95.
inline constexpr int32_t kSafeAreaEdge = 0;
inline constexpr int32_t kSafeAreaAction = 1;
inline constexpr int32_t kSafeAreaGraphics = 2;

// How far in from an edge of `size` pixels the safe area's side lies, rounded to nearest.
constexpr int32_t SafeAreaInset(int32_t safe_area, int32_t size)
{
    const int32_t permille = safe_area == kSafeAreaAction ? 35 : safe_area == kSafeAreaGraphics ? 50 : 0;
    return (size * permille + 500) / 1000;
}
inline constexpr int32_t kMaxFade_ms = 10000;

struct OverlayState {
    std::atomic<int32_t> overlay_on{0};      // non-zero: the send loop draws the overlay
    std::atomic<int32_t> x_offset{0};        // pixels from the corner's side edge
    std::atomic<int32_t> y_offset{0};        // pixels from the corner's top or bottom edge
    std::atomic<int32_t> corner_code{kCornerUpperRight};
    std::atomic<int32_t> opacity_percent{kMaxOpacityPercent};  // of the logo's own alpha
    std::atomic<int32_t> fade_ms{0};  // On, Off and a new picture mix over this; 0 cuts
    std::atomic<int32_t> safe_area{kSafeAreaEdge};
    // The timed cycle: shown for `show_ms` every `every_ms`, the first time `delay_ms` after
    // `start_ns` (the steady clock's time when it was set); a start of 0 is no cycle. The
    // user-interface thread writes the start last and clears it first.
    struct Cycle {
        std::atomic<int64_t> show_ms{0};
        std::atomic<int64_t> every_ms{0};
        std::atomic<int64_t> delay_ms{0};
        std::atomic<int64_t> start_ns{0};
    } cycle;
    FrameList frames;
};

}  // namespace vantor
