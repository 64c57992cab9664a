#include "pacing.h"

#include "bench_process.h"

#include "ndi/ndi_runtime.h"
#include "ndi/source_port.h"

#include <algorithm>
#include <ctime>
#include <thread>
#include <vector>

namespace vantor::bench {
namespace {

int64_t DeadlineNs(int64_t start_ns, int64_t k, int32_t rate_N, int32_t rate_D)
{
    return start_ns + int64_t(__int128{k} * rate_D * 1'000'000'000 / rate_N);
}

}  // namespace

double P99Ms(std::vector<int64_t> late_ns)
{
    std::sort(late_ns.begin(), late_ns.end());
    return double(late_ns[late_ns.size() * 99 / 100]) / 1e6;
}

// Half a period apart from a sender's grid started now, so that the two never compete for a
// core at the same instant.
std::vector<int64_t> BareLoopLateness(int32_t rate_N, int32_t rate_D, int frames)
{
    std::vector<int64_t> late(static_cast<size_t>(frames));
    const int64_t start = NowNs() + DeadlineNs(0, 1, rate_N, rate_D) / 2;
    for (int k = 0; k < frames; ++k) {
        const int64_t deadline = DeadlineNs(start, k, rate_N, rate_D);
        const timespec until{time_t(deadline / 1'000'000'000), long(deadline % 1'000'000'000)};
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
        late[size_t(k)] = NowNs() - deadline;
    }
    return late;
}

PacingFigures MeasurePacing(int32_t rate_N, int32_t rate_D, int frames)
{
    NDIlib_send_create_t settings;
    settings.p_ndi_name = "Vantor pacing bench";
    NDIlib_send_instance_t sender = NDIlib_send_create(&settings);
    if (!sender)
        return {};
    BenchProcess receiver({"ffmpeg", "-nostdin", "-v", "error", "-i",
                           "tcp://127.0.0.1:" + std::to_string(NDIlib_send_get_port(sender)), "-c",
                           "copy", "-f", "null", "-"});
    // A 1080p frame with a logo-sized block, as the program sends it.
    constexpr int32_t kW = 1920, kH = 1080;
    std::vector<uint8_t> pixels(size_t(kW) * kH * 4, 0);
    for (int32_t y = 9; y < 9 + 184; ++y)
        std::fill_n(&pixels[(size_t(y) * kW + 1420) * 4], 480 * 4, uint8_t(0x80));
    NDIlib_video_frame_v2_t frame;
    frame.xres = kW;
    frame.yres = kH;
    frame.frame_rate_N = rate_N;
    frame.frame_rate_D = rate_D;
    frame.p_data = pixels.data();
    frame.line_stride_in_bytes = kW * 4;

    std::vector<int64_t> bare;
    std::thread bare_loop([&] { bare = BareLoopLateness(rate_N, rate_D, frames); });
    std::vector<int64_t> late(static_cast<size_t>(frames));
    const int64_t start = NowNs();
    for (int k = 0; k < frames; ++k) {
        NDIlib_send_send_video_v2(sender, &frame);
        late[size_t(k)] = NowNs() - DeadlineNs(start, k, rate_N, rate_D);
    }
    const int64_t end = NowNs();
    bare_loop.join();
    NDIlib_send_destroy(sender);
    receiver.WaitCpuSeconds();

    PacingFigures figures;
    figures.frames_sent = frames;
    figures.frames_due = int64_t(__int128{end - start} * rate_N / (__int128{rate_D} * 1'000'000'000)) + 1;
    figures.p99_late_ms = P99Ms(late);
    figures.bare_p99_late_ms = P99Ms(bare);
    return figures;
}

}  // namespace vantor::bench
