// The built-in NDI runtime's figures in one run: sender CPU per frame beside an ffmpeg command
// line doing the same job, the cost of still pictures with their key frames at an interval (a
// logo, and a picture over the whole frame), and pacing against a bare clock_nanosleep loop. Run it in the release
// build on an otherwise quiet machine:   build/release/bench/ndi_sender_bench

#include "pacing.h"
#include "sender_cpu.h"

#include <cstdio>

using namespace vantor::bench;

int main()
{
    std::printf("Sender CPU per frame (user + sys, getrusage), beside ffmpeg doing the same job\n");
    std::printf("(ours: the whole sending process, drawing included; drawing alone in brackets)\n\n");
    std::printf("%-28s %10s %11s %10s %7s %s\n", "case", "ours ms", "(drawing)", "ffmpeg ms", "ratio",
                "goal");
    const CpuCase cases[] = {
        {1920, 1080, 60000, 1200, false, 150},
        {1920, 1080, 60000, 1200, true, 150},
        {4096, 2160, 60000, 1000, false, 120},
        {4096, 2160, 60000, 1000, true, 120},
    };
    for (const CpuCase& c : cases) {
        const CpuFigures f = MeasureSenderCpu(c);
        char label[64];
        std::snprintf(label, sizeof label, "%dx%d %dp %s", c.width, c.height, c.rate_N / c.rate_D,
                      c.logo_changes ? "changing logo" : "static logo");
        std::printf("%-28s %10.3f %11.3f %10.3f %7.3f %s\n", label, f.ours_ms, f.ours_drawing_ms,
                    f.ffmpeg_ms, f.ours_ms / f.ffmpeg_ms, c.logo_changes ? "< 1" : "<= 0.25");
        std::fflush(stdout);
    }

    // Over ten seconds, so that the receiver's key frames every two seconds are counted.
    std::printf("\nStill pictures at 4096x2160 60p over 600 frames, one receiver (key frames every 2 s)\n\n");
    std::printf("%-28s %10s\n", "case", "ours ms");
    const struct {
        const char* label;
        bool full_frame;
    } stills[] = {{"watermark-size logo", false}, {"full-frame picture", true}};
    for (const auto& still : stills) {
        const CpuFigures f = MeasureSenderCpu({4096, 2160, 60000, 1000, false, 600, still.full_frame});
        std::printf("%-28s %10.3f\n", still.label, f.ours_ms);
        std::fflush(stdout);
    }

    constexpr int kFrames = 1500;
    std::printf("\nPacing over %d frames (1920x1080, one receiver), beside a bare clock_nanosleep "
                "loop run at the same time\n\n", kFrames);
    std::printf("%-8s %6s %6s %6s %13s %13s %7s %s\n", "rate", "sent", "due", "drift", "p99 late ms",
                "bare p99 ms", "ratio", "goal");
    const struct {
        const char* label;
        int32_t rate_N, rate_D;
    } rates[] = {{"29.97p", 30000, 1001}, {"60p", 60000, 1000}};
    for (const auto& r : rates) {
        const PacingFigures f = MeasurePacing(r.rate_N, r.rate_D, kFrames);
        std::printf("%-8s %6lld %6lld %6lld %13.3f %13.3f %7.2f %s\n", r.label,
                    (long long)f.frames_sent, (long long)f.frames_due,
                    (long long)(f.frames_sent - f.frames_due), f.p99_late_ms, f.bare_p99_late_ms,
                    f.p99_late_ms / f.bare_p99_late_ms, "drift 0, ratio <= 1.2");
        std::fflush(stdout);
    }
    return 0;
}
