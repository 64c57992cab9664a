#include "engine/frame_lateness.h"

#include "ndi/pacing_clock.h"

namespace vantor {
namespace {

constexpr __int128 kNsPerSecond = 1'000'000'000;

}  // namespace

void FrameLateness::Restart(int32_t rate_N, int32_t rate_D)
{
    rate_N_ = rate_N;
    rate_D_ = rate_D;
    period_ns_ = ndi::SlotOffsetNs(1, rate_N, rate_D);
    started_ = false;
}

int64_t FrameLateness::Due(int64_t slot) const
{
    return start_ns_ + ndi::SlotOffsetNs(slot, rate_N_, rate_D_);
}

int64_t FrameLateness::Next(int64_t now_ns)
{
    if (!started_) {
        started_ = true;
        start_ns_ = now_ns;
        slot_ = 0;
        return 0;
    }
    ++slot_;
    const int64_t lateness = now_ns - Due(slot_);
    if (lateness < 0) {
        start_ns_ += lateness;  // earlier than any frame before: the grid was late
        return 0;
    }
    if (lateness >= period_ns_)
        slot_ = int64_t((__int128{now_ns - start_ns_} * rate_N_) / (__int128{rate_D_} * kNsPerSecond));
    return lateness;
}

}  // namespace vantor
