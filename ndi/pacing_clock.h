#pragma once
// Paces a sender to an exact frame rate N / D: frame slot k is due at start + k x D / N seconds,
// computed in whole nanoseconds with 128-bit products, so no error builds up however long the
// run. A frame that comes after its slot has passed takes the next slot still to come, so an
// overrun costs the late slots and never causes a burst.

#include <cstdint>

namespace vantor::ndi {

// How long after its grid's start slot `slot` falls at N / D frames a second, in whole
// nanoseconds.
int64_t SlotOffsetNs(int64_t slot, int32_t rate_N, int32_t rate_D);

class PacingClock {
public:
    // The next frame starts a new grid at the moment it is taken.
    void Restart(int32_t rate_N, int32_t rate_D);

    // The slot of a frame taken at `now_ns`: slot 0 for the first frame of a grid, then the
    // following slot, or the first one not yet past when that one is past.
    int64_t SlotFor(int64_t now_ns);

    int64_t DeadlineNs(int64_t slot) const;

    static int64_t NowNs();
    static void SleepUntil(int64_t deadline_ns);

private:
    int32_t rate_N_ = 1;
    int32_t rate_D_ = 1;
    bool started_ = false;
    int64_t start_ns_ = 0;
    int64_t next_slot_ = 0;
};

}  // namespace vantor::ndi
