#pragma once
// The send thread may run under SCHED_FIFO with RLIMIT_RTTIME set, and the kernel kills a
// real-time thread that runs 200 ms without blocking. A sender that has fallen behind its frame
// rate (a full-frame fade at 2160p60 on a busy machine) finds each deadline already past, so its
// wait never blocks, and the copy would die on air. The loop therefore makes sure the thread
// rests: once it has not blocked for 50 ms it sleeps a tenth of a millisecond. A loop on time
// blocks in every frame's wait and never rests here.

#include <cstdint>

namespace vantor {

class SendRest {
public:
    // Called once a frame by the thread that sends.
    void AfterFrame();

private:
    long blocks_ = -1;       // the thread's voluntary context switches when last seen
    int64_t blocked_ns_ = 0;  // when a new one was last seen
};

}  // namespace vantor
