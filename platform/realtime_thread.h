#pragma once
// Real-time scheduling for the calling thread (the send thread, and it alone) at a modest
// priority, as audio and video servers take it: SCHED_FIFO directly where RLIMIT_RTPRIO allows
// it (the package's group ndivantor-realtime grants it), otherwise from RealtimeKit on the
// system bus (which makes it SCHED_RR), otherwise none, and the program says once the true
// cause. RLIMIT_RTTIME is set first (RealtimeKit requires it): a real-time thread that ran that
// long without sleeping would be stopped, so a paced loop, which sleeps every frame, can never
// starve the machine.

namespace vantor {

void MakeThisThreadRealtime();

}  // namespace vantor
