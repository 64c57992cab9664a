#pragma once
// CPU per frame of the built-in sender beside the same job done by an ffmpeg command line:
// a transparent BGRA frame, a 480 x 184 logo on it, QuickTime Animation, live Matroska to a local
// receiver.

#include <cstdint>

namespace vantor::bench {

struct CpuCase {
    int32_t width, height, rate_N, rate_D;
    bool logo_changes;  // every frame, or never
    int frames;
    bool full_frame = false;  // a still picture over the whole frame in place of the logo (no ffmpeg job)
};

struct CpuFigures {
    double ours_ms = -1;          // the whole sending process per frame
    double ours_drawing_ms = -1;  // of which drawing the frame (what the engine does)
    double ffmpeg_ms = -1;        // the ffmpeg job per frame
};

CpuFigures MeasureSenderCpu(const CpuCase& c);

}  // namespace vantor::bench
