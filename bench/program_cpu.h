#pragma once
// The whole program the way a user meets it: copies of ndivantor-headless on a session bus of
// their own, each sending to one real ffmpeg receiver, and, for comparison, the ffmpeg command
// line doing the same job. Process CPU, memory, and what each receiver sees, over one window.

#include "stream_watch.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vantor::bench {

struct ProgramCase {
    int32_t width, height, rate_N, rate_D;
    bool sequence;  // a four-picture sequence playing; otherwise the house watermark standing
};

// What the runs need: the program, the pictures, the window.
struct ProgramSetup {
    std::string headless;        // ndivantor-headless
    std::string watermark_png;   // the house watermark, for the ffmpeg job
    std::string sequence_first;  // the first of the four numbered pictures (PNG), for the copy
    std::string sequence_raw;    // the same four as raw BGRA, for the ffmpeg job
    int window_s = 10;
    bool realtime_receivers = false;  // see StreamWatch
};

struct ProcessFigures {
    double cpu_s = -1;           // over the window
    double cpu_ms_per_frame = -1;  // per frame the receiver got in the window
    double switches_per_frame = -1;  // context switches of its threads, per frame likewise
    int64_t resident_bytes = -1;
    ReceiverFigures received;
};

struct CopiesFigures {
    std::vector<ProcessFigures> copies;
    double bus_cpu_s = -1;         // the session bus daemon, over the same window; -1 without one
    double bare_p99_late_ms = -1;  // a bare clock_nanosleep loop at the rate, in the same window
    bool numbered_at_once = true;  // no copy had to give up a number it took first
};

// One copy of ndivantor-headless on the bus at `bus_address` (an address that leads nowhere:
// alone), started with the case's format, rate and sequence as its options; killed when it goes.
struct ProgramCopy {
    ProgramCopy(const ProgramCase& c, const ProgramSetup& setup, const std::string& bus_address);

    BenchProcess process;
    LineReader lines;
};

// A receiver on the port, once something listens there; null when nothing came up.
std::unique_ptr<StreamWatch> ConnectedWatch(uint16_t port, bool realtime = false);

// Makes the four pictures of the sequence in `folder` and names them in `setup`.
bool MakeSequencePictures(const std::string& folder, ProgramSetup& setup);

// On a bus, copies number themselves 1, 2, ... and post their frame positions; each is launched
// once the ones before it send. Without a bus, a single copy runs alone, as under a service
// manager with no session.
CopiesFigures MeasureCopies(const ProgramCase& c, int copies, bool on_bus, const ProgramSetup& setup);
ProcessFigures MeasureFfmpegJob(const ProgramCase& c, const ProgramSetup& setup);

}  // namespace vantor::bench
