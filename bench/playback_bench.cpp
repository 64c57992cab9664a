// The stepper's share of one frame on the send thread: taking the list's guard and one Tick,
// walking a 100-frame sequence. With nobody else holding the guard this is the whole cost the
// guard adds to a frame.

#include "engine/playback_state.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <mutex>

namespace {

constexpr int kFrames = 100;

void MakeSequence(vantor::OverlayState& overlay, vantor::PlaybackState& playback)
{
    for (int n = 2; n <= kFrames; ++n) {
        auto frame = std::make_unique<vantor::SequenceFrame>();
        frame->number = n;
        vantor::AppendFrame(overlay.frames, std::move(frame));
    }
    overlay.overlay_on = 1;
    playback.is_sequence = true;
    playback.current = &overlay.frames.first;
}

void BM_TickUnderGuard(benchmark::State& state)
{
    vantor::OverlayState overlay;
    vantor::PlaybackState playback;
    MakeSequence(overlay, playback);
    playback.SetPlayMode(static_cast<int32_t>(state.range(0)));
    for (auto _ : state) {
        std::lock_guard lock(overlay.frames.guard);
        benchmark::DoNotOptimize(playback.Tick(overlay));
    }
}

BENCHMARK(BM_TickUnderGuard)->Arg(vantor::kPlayForward)->Arg(vantor::kPlayOscillate1);

}  // namespace
