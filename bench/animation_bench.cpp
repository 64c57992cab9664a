// Animated logos: the whole load of a 10-second 1920 x 1080 ProRes 4444 movie (its time, and
// the peak memory beside the bytes its frames hold), then the engine's work per output frame at
// 50p on those frames played at the movie's own 25 fps, beside the same frames as a numbered
// run (one picture per output frame). The movie is made with ffmpeg in a temporary folder.

#include "engine/frame_builder.h"
#include "engine/output_frame.h"
#include "imagery/animation_load.h"

#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace {

using namespace vantor;
using Clock = std::chrono::steady_clock;

// The process's resident peak so far, in MiB, from /proc/self/status.
double PeakResidentMiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string key; status >> key;) {
        long kib = 0;
        if (key == "VmHWM:" && status >> kib)
            return double(kib) / 1024.0;
    }
    return 0;
}

bool MakeMovie(const QString& path)
{
    return QProcess::execute(QStringLiteral("ffmpeg"),
                             {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                              QStringLiteral("-i"), QStringLiteral("testsrc2=s=1920x1080:r=25:d=10"), QStringLiteral("-vf"),
                              QStringLiteral("format=yuva444p10le"),
                              QStringLiteral("-c:v"), QStringLiteral("prores_ks"), QStringLiteral("-profile:v"),
                              QStringLiteral("4444"), path}) == 0;
}

// Microseconds per output frame of the tick and draw, over `frames` frames at 50p.
double DrawMicroseconds(OverlayState& overlay, int frames)
{
    OutputFrame frame;
    frame.Allocate();
    frame.Describe({1920, 1080, 60000, 1200});
    PlaybackState playback;
    playback.SetOutputRate(60000, 1200);
    playback.is_sequence = true;
    playback.current = &overlay.frames.first;
    FramePainter painter(frame);
    HouseWatermark watermark;
    watermark.on = false;  // the logo is on air: the watermark has ended
    FrameBuilder builder(painter, overlay, playback, watermark);
    const auto start = Clock::now();
    for (int i = 0; i < frames; ++i)
        builder.DrawNext();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / frames;
}

}  // namespace

int main()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bug.mov"));
    if (!MakeMovie(path)) {
        std::fprintf(stderr, "ffmpeg could not make the movie\n");
        return 1;
    }
    const double resident_before = PeakResidentMiB();
    const auto start = Clock::now();
    AnimationLoad load(path, AvailableMemoryBytes);
    while (!load.done())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    AnimationResult result = load.TakeResult();
    const double held_mib = double(result.count) * 1920 * 1080 * 4 / (1024.0 * 1024.0);
    std::printf("load: %d frames in %.2f s (%.1f frames/s)\n", result.count, seconds, result.count / seconds);
    std::printf("memory: frames hold %.0f MiB; resident peak grew by %.0f MiB (%.2f x)\n", held_mib,
                PeakResidentMiB() - resident_before, (PeakResidentMiB() - resident_before) / held_mib);

    OverlayState overlay;
    overlay.overlay_on = 1;
    SequenceFrame* rest = std::exchange(result.frames->next, nullptr);
    std::swap(overlay.frames.first.image, result.frames->image);
    overlay.frames.first.duration = result.frames->duration;
    for (SequenceFrame* frame = rest; frame;) {
        SequenceFrame* next = std::exchange(frame->next, nullptr);
        AppendFrame(overlay.frames, std::unique_ptr<SequenceFrame>(frame));
        frame = next;
    }
    constexpr int kFrames = 2000;
    overlay.frames.time_base_num = result.time_base_num;
    overlay.frames.time_base_den = result.time_base_den;
    const double timed = DrawMicroseconds(overlay, kFrames);
    overlay.frames.time_base_num = 0;
    const double run = DrawMicroseconds(overlay, kFrames);
    std::printf("send loop's tick and draw at 1920 x 1080 50p: movie at 25 fps %.0f us a frame, "
                "the same frames as a run %.0f us a frame (%.2f x)\n", timed, run, timed / run);
    return 0;
}
