#include "ndi/pacing_clock.h"

#include <cerrno>
#include <ctime>

namespace vantor::ndi {
namespace {

constexpr __int128 kNsPerSecond = 1'000'000'000;

}  // namespace

int64_t SlotOffsetNs(int64_t slot, int32_t rate_N, int32_t rate_D)
{
    return int64_t(__int128{slot} * rate_D * kNsPerSecond / rate_N);
}

void PacingClock::Restart(int32_t rate_N, int32_t rate_D)
{
    rate_N_ = rate_N;
    rate_D_ = rate_D;
    started_ = false;
    next_slot_ = 0;
}

int64_t PacingClock::DeadlineNs(int64_t slot) const
{
    return start_ns_ + SlotOffsetNs(slot, rate_N_, rate_D_);
}

int64_t PacingClock::SlotFor(int64_t now_ns)
{
    if (!started_) {
        started_ = true;
        start_ns_ = now_ns;
        next_slot_ = 0;
    }
    int64_t slot = next_slot_;
    if (DeadlineNs(slot) < now_ns) {
        // Smallest slot whose deadline is not before now.
        const __int128 elapsed = now_ns - start_ns_;
        const __int128 per_slot = __int128{rate_D_} * kNsPerSecond;
        slot = int64_t((elapsed * rate_N_ + per_slot - 1) / per_slot);
    }
    next_slot_ = slot + 1;
    return slot;
}

int64_t PacingClock::NowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void PacingClock::SleepUntil(int64_t deadline_ns)
{
    const timespec until{time_t(deadline_ns / 1'000'000'000), long(deadline_ns % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

}  // namespace vantor::ndi
