// A copy's resident memory in the heaviest case an operator can make: 4096 x 2160 with an
// overlay that fills the frame and changes every pixel with every frame (a numbered run of four
// noise pictures), while two real ffmpeg receivers watch; beside it the same copy with the
// house watermark standing. VmRSS is sampled through a window; figures are given in bytes and in
// frames (4096 x 2160 x 4 bytes) beyond the loaded pictures, each run's highest sample and the
// median [lowest - highest] over the runs. Run it in the release build:
//     build/release/bench/memory_bench [runs] [window seconds]

#include "bench_run.h"
#include "program_cpu.h"

#include "stream_client.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace vantor::bench;

namespace {

constexpr int32_t kW = 4096, kH = 2160;
constexpr int kPictures = 4;
constexpr int64_t kFrameBytes = int64_t{kW} * kH * 4;
constexpr int kStartBound_ms = 60000;  // four 4096 x 2160 noise pictures take seconds to load
constexpr int kSettle_ms = 3000;
constexpr int kSample_ms = 100;
constexpr int kReceivers = 2;

// Four full-frame pictures whose every pixel changes from one to the next.
bool MakeNoisePictures(const std::string& folder, ProgramSetup& setup)
{
    setup.sequence_first = folder + "/full0001.png";
    BenchProcess make({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                       "color=c=gray:s=" + std::to_string(kW) + "x" + std::to_string(kH) +
                           ":r=25,format=yuv444p,noise=alls=100:allf=t+u,format=bgra",
                       "-frames:v", std::to_string(kPictures), folder + "/full%04d.png"});
    return make.WaitCpuSeconds() >= 0 && std::filesystem::exists(setup.sequence_first);
}

struct RunFigures {
    int64_t highest_bytes = -1;  // of the samples in the window
    int64_t median_bytes = -1;
    double lowest_fps = 0;       // of the receivers
};

// One copy and its receivers; VmRSS every kSample_ms through the window.
RunFigures MeasureRun(const ProgramCase& c, const ProgramSetup& setup)
{
    ProgramCopy copy(c, setup, "unix:path=/nonexistent");
    if ((c.sequence && !copy.lines.WaitFor("Overlay on", kStartBound_ms)) ||
        !copy.lines.WaitFor("Sending", kStartBound_ms))
        return {};
    const auto port = vantor::test::SourcePortOf(copy.process.pid());
    if (!port)
        return {};
    std::vector<std::unique_ptr<StreamWatch>> watches;
    for (int i = 0; i < kReceivers; ++i)
        if (!watches.emplace_back(ConnectedWatch(*port)))
            return {};
    PumpUntil(watches, NowNs() + int64_t{kSettle_ms} * 1'000'000);
    std::vector<int64_t> samples;
    const int64_t from_ns = NowNs(), to_ns = from_ns + int64_t{setup.window_s} * 1'000'000'000;
    for (int64_t at_ns = from_ns; at_ns < to_ns; at_ns += int64_t{kSample_ms} * 1'000'000) {
        PumpUntil(watches, at_ns);
        samples.push_back(ResidentBytesOf(copy.process.pid()));
    }
    std::sort(samples.begin(), samples.end());
    RunFigures f{samples.back(), samples[samples.size() / 2], 1e9};
    for (const auto& watch : watches)
        f.lowest_fps = std::min(f.lowest_fps, watch->Figures(from_ns, to_ns, c.rate_N, c.rate_D).frames_per_s);
    return f;
}

double Mb(int64_t bytes) { return double(bytes) / (1024.0 * 1024.0); }

void RunCase(const char* label, const ProgramCase& c, const ProgramSetup& setup, int runs)
{
    const int64_t pictures_bytes = c.sequence ? kPictures * kFrameBytes : 0;
    std::printf("%s (pictures %.1f MB)\n", label, Mb(pictures_bytes));
    std::vector<double> beyond_frames;
    for (int run = 1; run <= runs; ++run) {
        const RunFigures f = MeasureRun(c, setup);
        if (f.highest_bytes < 0) {
            std::printf("  run %d: failed (the copy or a receiver did not come up)\n", run);
            continue;
        }
        beyond_frames.push_back(double(f.highest_bytes - pictures_bytes) / double(kFrameBytes));
        std::printf("  run %d: VmRSS highest %.1f MB, median %.1f MB; beyond the pictures %.2f frames; "
                    "slowest receiver %.2f fps\n",
                    run, Mb(f.highest_bytes), Mb(f.median_bytes), beyond_frames.back(), f.lowest_fps);
        std::fflush(stdout);
    }
    if (beyond_frames.empty())
        return;
    std::printf("  beyond the pictures: %s frames\n\n", Text(SpreadOf(beyond_frames), "%.2f").c_str());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    const auto [runs, window_s] = ReadCommandLine(argc, argv);
    ProgramSetup setup;
    setup.headless = VANTOR_HEADLESS_PATH;
    setup.window_s = window_s;
    const RunFolder folder("vantor-memory-bench");
    if (!MakeNoisePictures(folder.path(), setup)) {
        std::fprintf(stderr, "memory_bench: could not make the pictures with ffmpeg\n");
        return 1;
    }
    std::printf("A copy's resident memory (VmRSS, sampled every %d ms over %d s) with %d real receivers;\n"
                "one frame is %.1f MB; %d runs, median [lowest - highest] of each run's highest sample\n\n",
                kSample_ms, setup.window_s, kReceivers, Mb(kFrameBytes), runs);
    RunCase("4096x2160 25p, house watermark", {kW, kH, 30000, 1200, false}, setup, runs);
    RunCase("4096x2160 25p, full-frame noise overlay", {kW, kH, 30000, 1200, true}, setup, runs);
    RunCase("4096x2160 60p, full-frame noise overlay", {kW, kH, 60000, 1000, true}, setup, runs);
    return 0;
}
