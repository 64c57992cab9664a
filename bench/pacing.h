#pragma once
// How exactly the sender paces its caller: frames sent against frames due, and how late each
// call returns after its deadline, beside a bare clock_nanosleep loop running at the same time.

#include <cstdint>
#include <vector>

namespace vantor::bench {

struct PacingFigures {
    int64_t frames_sent = 0;
    int64_t frames_due = 0;      // deadlines passed when the last call returned
    double p99_late_ms = 0;      // the sender's calls
    double bare_p99_late_ms = 0; // the bare loop's wake-ups
};

PacingFigures MeasurePacing(int32_t rate_N, int32_t rate_D, int frames);

// The floor any paced sender meets: how late each wake-up of a loop comes that does nothing
// but sleep to the absolute deadlines of the rate, in nanoseconds.
std::vector<int64_t> BareLoopLateness(int32_t rate_N, int32_t rate_D, int frames);
// The 99th percentile of lateness in nanoseconds, in milliseconds; `late_ns` not empty.
double P99Ms(std::vector<int64_t> late_ns);

}  // namespace vantor::bench
