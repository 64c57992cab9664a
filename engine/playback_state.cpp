#include "engine/playback_state.h"

#include <algorithm>
#include <limits>

namespace vantor {
namespace {

constexpr TickResult kHold{false, nullptr, false};
constexpr TickResult kHoldGoUsedUp{false, nullptr, true};

// Truncated; outside the range of the count, its nearest end.
int32_t ClampedToInt32(float value)
{
    constexpr float kTwoTo31 = 2147483648.0f;
    if (value >= kTwoTo31)
        return std::numeric_limits<int32_t>::max();
    if (value < -kTwoTo31)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

}  // namespace

const char* PlayModeName(int32_t mode)
{
    switch (mode) {
    case kPlayForward: return "Normal play";
    case kPlayReverse: return "Reverse play";
    case kPlayOscillate1: return "Wiper-blade mode";
    case kPlayOscillate2: return "Split Normal/Reverse";
    default: return "Play mode";
    }
}

const char* PlaybackState::SetPlayMode(int32_t mode)
{
    play_mode = mode;
    if (mode == kPlayOscillate1)
        forward = true;
    return PlayModeName(mode);
}

// Seconds become frames in single precision, product first, truncated: 99 s at 29.97p
// (30000/1001) is 2967 frames. A pause too long for the count is held at the longest one.
void PlaybackState::SetPause(int32_t value, int32_t unit, int32_t frame_rate_N, int32_t frame_rate_D)
{
    pause_value = value;
    pause_unit = unit;
    const int32_t frames = unit == kPauseInFrames
        ? value
        : ClampedToInt32(static_cast<float>(value) * static_cast<float>(frame_rate_N) /
                         static_cast<float>(frame_rate_D));
    pause_frames = frames;
    if (!PassCouldWaitForGo())
        go = false;  // nothing left for Go to skip
    int32_t left = pause_countdown;
    while (left > frames && !pause_countdown.compare_exchange_weak(left, frames)) {
    }
}

bool PlaybackState::PressGo()
{
    if (!is_sequence || !PassCouldWaitForGo())
        return false;
    go = true;
    return true;
}

bool PlaybackState::SetOneShot(bool on)
{
    one_shot = on;
    if (!PassCouldWaitForGo())
        go = false;
    return pause_countdown == 0 && PressGo();
}

void PlaybackState::ResetCountdown()
{
    pause_countdown = 0;
}

void PlaybackState::SetOutputRate(int32_t frame_rate_N, int32_t frame_rate_D)
{
    output_rate_N = frame_rate_N;
    output_rate_D = frame_rate_D;
    clock_frame = nullptr;
}

// Counts one frame off a running pause; the user-interface thread may lower the countdown at
// the same moment, so it never goes below zero.
bool PlaybackState::TakeOnePauseFrame()
{
    int32_t left = pause_countdown;
    while (left > 0) {
        if (pause_countdown.compare_exchange_weak(left, left - 1))
            return true;
    }
    return false;
}

TickResult PlaybackState::Tick(const OverlayState& overlay)
{
    // A single picture (a still loaded over a run) plays no pass: a Go armed has nothing left
    // to start.
    if (!is_sequence && go.exchange(false))
        return kHoldGoUsedUp;
    if (!go && TakeOnePauseFrame())
        return kHold;
    if (!overlay.overlay_on)
        return kHold;
    if (one_shot && !go)
        return kHold;
    if (!is_sequence) {
        const SequenceFrame* single = &overlay.frames.first;
        current = single;
        return {true, single, false};
    }
    // The frame is drawn as it is now; the step prepares the next one.
    const TickResult drawn{true, current, false};
    if (!StepForTime(overlay.frames))
        return drawn;
    return {true, drawn.node, EndPass()};
}

// Moves `current` on by one output frame's time: an untimed list one picture, a timed one past
// every picture whose showing ends before the next output frame's sample time, the middle of
// that frame, so each picture starts at the output frame nearest its own start. True when a
// pass ended that a pause or Go waits on; the steps stop there.
bool PlaybackState::StepForTime(const FrameList& frames)
{
    const int64_t n = output_rate_N;
    const int64_t d = output_rate_D;
    if (frames.time_base_num <= 0 || n <= 0 || d <= 0)
        return StepCurrent(frames);
    const int64_t period = 2 * d * frames.time_base_den;
    const int64_t unit = 2 * frames.time_base_num * n;  // one unit of a frame's duration
    const auto shown = [&] { return std::max<int64_t>(current.load()->duration, 1) * unit; };
    int64_t phase = (clock_frame == current ? clock_phase.load() : period / 2) + period;
    bool pass_waits = false;
    while (phase >= shown() && !pass_waits) {
        phase -= shown();
        pass_waits = StepCurrent(frames) && (go || pause_frames > 0);
    }
    clock_phase = phase;
    clock_frame = current.load();
    return pass_waits;
}

// Moves `current` one frame on; true when a pass ended.
bool PlaybackState::StepCurrent(const FrameList& frames)
{
    const SequenceFrame* at = current;
    switch (play_mode) {
    case kPlayForward:
        current = at->next ? at->next : &frames.first;
        return at->next == nullptr;
    case kPlayReverse:
        current = at->prev ? at->prev : frames.last;
        return at->prev == nullptr;
    case kPlayOscillate1: return StepOscillating(at, false);
    case kPlayOscillate2: return StepOscillating(at, true);
    default: return false;
    }
}

// Back and forth between the ends; a pass always ends at the first frame, and also at the last
// one when each half sweep is a pass.
bool PlaybackState::StepOscillating(const SequenceFrame* at, bool pass_ends_at_far_end)
{
    if (forward) {
        if (at->next) {
            current = at->next;
            return false;
        }
        forward = false;
        current = at->prev;
        return pass_ends_at_far_end;
    }
    if (at->prev) {
        current = at->prev;
        return false;
    }
    forward = true;
    current = at->next;
    return true;
}

// True when Go was armed: it is used up and no pause follows. Otherwise the pause starts.
bool PlaybackState::EndPass()
{
    if (go.exchange(false))
        return true;
    pause_countdown = pause_frames.load();
    return false;
}

}  // namespace vantor
