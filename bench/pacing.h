#pragma once
// How exactly the sender paces its caller: frames sent against frames due, and how late each
// call returns after its deadline, beside a bare clock_nanosleep loop running at the same time.

#include <cstdint>

namespace vantor::bench {

struct PacingFigures {
    int64_t frames_sent = 0;
    int64_t frames_due = 0;      // deadlines passed when the last call returned
    double p99_late_ms = 0;      // the sender's calls
    double bare_p99_late_ms = 0; // the bare loop's wake-ups
};

PacingFigures MeasurePacing(int32_t rate_N, int32_t rate_D, int frames);

}  // namespace vantor::bench
