#pragma once
// A real ffmpeg receiver of a live stream, copying it without decoding and printing one line
// per frame as it arrives (framecrc), with the moment each line reached this process: what
// frame rate the receiver sees, whether every frame arrived, and how evenly.

#include "bench_process.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace vantor::bench {

struct ReceiverFigures {
    int64_t frames = 0;          // arrived within the window
    double frames_per_s = 0;     // as the receiver sees them
    int64_t missing = 0;         // frame slots skipped between the first and the last
    double p99_late_ms = 0;      // arrival after the frame's slot, beyond the earliest arrival
    double drift_ppm = 0;        // the stream's clock against this machine's, over the window
};

class StreamWatch {
public:
    // A real-time receiver runs at SCHED_FIFO, as a studio's receiver may: its arrivals then
    // show the sender's punctuality rather than its own turns on a busy machine.
    StreamWatch(uint16_t port, bool realtime);

    // Takes the lines that have arrived; false once the receiver has ended.
    bool Pump();
    // What to poll for its lines; -1 once it has ended.
    int poll_fd() const { return open_ ? receiver_.output_fd() : -1; }
    // The frames that arrived from `from_ns` to `to_ns`, for a stream at rate_N / rate_D.
    ReceiverFigures Figures(int64_t from_ns, int64_t to_ns, int32_t rate_N, int32_t rate_D) const;

private:
    struct Arrival {
        int64_t at_ns;
        int64_t pts;  // in the stream's time base
    };

    BenchProcess receiver_;
    LineReader lines_;
    bool open_ = true;
    int64_t time_base_num_ = 1;
    int64_t time_base_den_ = 1000;
    std::vector<Arrival> arrivals_;
};

// Lets every watch take its lines until `until_ns`, waking as soon as any has some.
void PumpUntil(std::span<const std::unique_ptr<StreamWatch>> watches, int64_t until_ns);

}  // namespace vantor::bench
