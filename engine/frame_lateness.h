#pragma once
// How late each frame leaves the send call, against a grid of due times at the frame rate. The
// grid starts with a run's first frame and settles on the earliest return seen, so it measures
// what scheduling adds to the sender's own deadlines. A frame a whole slot or more behind moves
// the grid on to the slot it went out in, as the sender's clock does: one stall counts once.

#include <cstdint>

namespace vantor {

class FrameLateness {
public:
    void Restart(int32_t rate_N, int32_t rate_D);
    int64_t period_ns() const { return period_ns_; }
    // The lateness of a frame that left the send call at `now_ns`, in nanoseconds; 0 for the
    // first of a run.
    int64_t Next(int64_t now_ns);

private:
    int64_t Due(int64_t slot) const;

    int32_t rate_N_ = 1;
    int32_t rate_D_ = 1;
    int64_t period_ns_ = 0;
    bool started_ = false;
    int64_t start_ns_ = 0;
    int64_t slot_ = 0;
};

}  // namespace vantor
