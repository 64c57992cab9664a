#pragma once
// The playback stepper: once per output frame it decides whether the frame is drawn anew and
// from which picture, and walks a loaded sequence in one of four play modes, with a pause
// between passes and a one-shot mode in which a pass plays only after Go. Pure logic: no
// threads, no sending, no windows.
//
// The operator's settings (SetPlayMode, SetPause, PressGo, SetOneShot) are written by the
// user-interface thread; Tick and ResetCountdown run on the send thread. Every field is a
// single atomic value, so a setting takes effect at the next tick.

#include "imagery/frame_list.h"
#include "imagery/overlay_state.h"

#include <atomic>
#include <cstdint>

namespace vantor {

inline constexpr int32_t kPlayForward = 0;
inline constexpr int32_t kPlayReverse = 1;
inline constexpr int32_t kPlayOscillate1 = 2;  // a pass is a full sweep there and back
inline constexpr int32_t kPlayOscillate2 = 3;  // a pass is each half sweep

inline constexpr int32_t kPauseInSeconds = 0;
inline constexpr int32_t kPauseInFrames = 1;
inline constexpr int32_t kMaxPauseValue = 99;  // the pause field's range is 0 to this

struct TickResult {
    bool draw;                   // false: send the frame unchanged
    const SequenceFrame* node;   // the frame to draw (null on hold)
    bool go_pass_ended;          // Go is used up (a pass ended with it, or a single picture has
                                 // none to play): Go returns to its idle colour
};

struct PlaybackState {
    std::atomic<int32_t> play_mode{kPlayForward};  // UI writes, send thread reads
    std::atomic<bool> forward{true};      // oscillating direction; send thread, and UI in SetPlayMode
    std::atomic<bool> one_shot{false};    // UI writes, send thread reads
    std::atomic<int32_t> pause_unit{kPauseInSeconds};  // UI only
    std::atomic<int32_t> pause_value{0};  // UI only
    std::atomic<int32_t> pause_frames{0};      // UI writes, send thread reads
    std::atomic<int32_t> pause_countdown{0};   // send thread counts down; UI may lower it
    std::atomic<bool> go{false};          // UI arms, send thread clears at a pass end
    // The frame to draw next. Changed only under the list's guard: by Tick on the send thread,
    // and by the sequence loader on the user-interface thread.
    std::atomic<const SequenceFrame*> current{nullptr};
    // The list holds a completely loaded sequence of two frames or more. Written by the
    // sequence loader, read by Tick.
    std::atomic<bool> is_sequence{false};
    // The output's frame rate, for lists whose frames carry durations. Written by the send
    // loop as it starts; zero plays every list one picture per output frame.
    std::atomic<int32_t> output_rate_N{0};
    std::atomic<int32_t> output_rate_D{0};
    // For a timed list: how far into `clock_frame`'s showing the next output frame samples, in
    // units of 1 / (2 * output_rate_N * time_base_den) seconds, so that every boundary is an
    // exact integer and nothing drifts. Send thread only.
    std::atomic<int64_t> clock_phase{0};
    std::atomic<const SequenceFrame*> clock_frame{nullptr};

    // Stores the mode and returns the text that names it.
    const char* SetPlayMode(int32_t mode);
    // A pause of none, outside One-Shot, leaves Go nothing to wait for: it is disarmed.
    void SetPause(int32_t value, int32_t unit, int32_t frame_rate_N, int32_t frame_rate_D);
    // Arms Go when it would start something: a sequence is loaded and a pass could wait for Go
    // (One-Shot, or a pause to skip). True when armed (the Go button turns light green).
    bool PressGo();
    // Stores the check box; a Go left with nothing to wait for is disarmed, and Go is armed as
    // PressGo arms it when no pause is counting down. True when it armed Go.
    bool SetOneShot(bool on);
    // Go is armed with a pass to start: what the Go button and the API show. A Go left armed
    // over a single picture is dropped at the next tick.
    bool armed() const { return go && is_sequence; }
    void ResetCountdown();
    void SetOutputRate(int32_t frame_rate_N, int32_t frame_rate_D);
    // One output frame's decision. The caller (the send thread) holds `overlay.frames.guard`
    // from this call until it has composited the node named, so the list cannot change between
    // the decision and the draw.
    TickResult Tick(const OverlayState& overlay);

private:
    bool PassCouldWaitForGo() const { return one_shot || pause_frames > 0; }
    bool TakeOnePauseFrame();
    bool StepCurrent(const FrameList& frames);
    bool StepForTime(const FrameList& frames);
    bool StepOscillating(const SequenceFrame* at, bool pass_ends_at_far_end);
    bool EndPass();
};

// The text shown for a play mode; "Play mode" for a value outside the four.
const char* PlayModeName(int32_t mode);

}  // namespace vantor
