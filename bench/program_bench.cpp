// The whole program as a user meets it, beside an ffmpeg command line doing the same job: a
// copy of ndivantor-headless on a session bus of its own sending to one real ffmpeg receiver,
// its process CPU per frame from /proc with its bus daemon's counted as its own, at
// 1280 x 720 25p and 3840 x 2160 60p with the house watermark standing and with a four-picture
// sequence playing; then eight copies at 3840 x 2160 60p at once, each launched while the ones
// before it send. Each case runs several times; figures are the median with the spread
// [lowest - highest]. Run it in the release build on an otherwise quiet machine:
//     build/release/bench/program_bench [runs] [window seconds] [quick | still720 | still2160]
// "quick" runs only what a copy's bus costs show in: 1280 x 720 25p with the watermark, and the
// eight copies; "still720" and "still2160" only the one copy with the watermark at 1280 x 720
// 25p or 3840 x 2160 60p, where an unchanged frame's cost shows.

#include "bench_run.h"
#include "program_cpu.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

using namespace vantor::bench;

namespace {

constexpr int kCopies = 8;

std::string Label(const ProgramCase& c)
{
    return std::to_string(c.width) + "x" + std::to_string(c.height) + " " + std::to_string(c.rate_N / c.rate_D) +
           "p " + (c.sequence ? "sequence" : "watermark");
}

double Mb(int64_t bytes) { return double(bytes) / (1024.0 * 1024.0); }

void PrintReceived(const char* who, const ProcessFigures& f)
{
    std::printf("    %-7s %8.3f ms/frame %5.2f switches/frame %7.2f fps %4lld missing  p99 late %6.2f ms  RSS %6.1f MB\n",
                who, f.cpu_ms_per_frame, f.switches_per_frame, f.received.frames_per_s, (long long)f.received.missing,
                f.received.p99_late_ms, Mb(f.resident_bytes));
}

std::string Verdict(const Spread& ratio, double goal)
{
    if (ratio.high <= goal)
        return "met";
    return ratio.median <= goal ? "met by the median" : "NOT met";
}

// A copy on a desktop always runs on a bus: its daemon's CPU counts as the copy's.
double WithBusMsPerFrame(const CopiesFigures& f)
{
    const ProcessFigures& copy = f.copies.front();
    return (copy.cpu_s + f.bus_cpu_s) * 1000 / double(std::max<int64_t>(1, copy.received.frames));
}

void RunOneCopyCase(const ProgramCase& c, double goal, const ProgramSetup& setup, int runs)
{
    std::printf("%s\n", Label(c).c_str());
    std::vector<double> on_bus, alone, ffmpeg, ratios, ratios_alone, own_ms, own_switches;
    for (int run = 1; run <= runs; ++run) {
        const CopiesFigures bus_copy = MeasureCopies(c, 1, true, setup);
        const CopiesFigures lone_copy = MeasureCopies(c, 1, false, setup);
        const ProcessFigures job = MeasureFfmpegJob(c, setup);
        if (bus_copy.copies.empty() || lone_copy.copies.empty() || job.cpu_ms_per_frame <= 0) {
            std::printf("  run %d: failed (a copy or the ffmpeg job did not come up)\n", run);
            continue;
        }
        const ProcessFigures& ours = bus_copy.copies.front();
        const ProcessFigures& ours_alone = lone_copy.copies.front();
        on_bus.push_back(WithBusMsPerFrame(bus_copy));
        alone.push_back(ours_alone.cpu_ms_per_frame);
        own_ms.push_back(ours.cpu_ms_per_frame);
        own_switches.push_back(ours.switches_per_frame);
        ffmpeg.push_back(job.cpu_ms_per_frame);
        ratios.push_back(on_bus.back() / job.cpu_ms_per_frame);
        ratios_alone.push_back(alone.back() / job.cpu_ms_per_frame);
        std::printf("  run %d: ratio %.4f on a session bus with its daemon (the copy %.4f, the daemon %.3f ms/frame), "
                    "%.4f without a bus; a bare paced loop's p99 lateness %.2f ms\n",
                    run, ratios.back(), ours.cpu_ms_per_frame / job.cpu_ms_per_frame,
                    on_bus.back() - ours.cpu_ms_per_frame, ratios_alone.back(), bus_copy.bare_p99_late_ms);
        PrintReceived("ours", ours);
        PrintReceived("no bus", ours_alone);
        PrintReceived("ffmpeg", job);
        std::fflush(stdout);
    }
    if (ratios.empty())
        return;
    const Spread ratio = SpreadOf(ratios), ratio_alone = SpreadOf(ratios_alone);
    std::printf("  ms/frame: ours with its bus daemon %s, without a bus %s, ffmpeg %s\n",
                Text(SpreadOf(on_bus), "%.3f").c_str(), Text(SpreadOf(alone), "%.3f").c_str(),
                Text(SpreadOf(ffmpeg), "%.2f").c_str());
    std::printf("  the copy's own, on its bus: %s ms/frame, %s context switches/frame\n",
                Text(SpreadOf(own_ms), "%.3f").c_str(), Text(SpreadOf(own_switches), "%.2f").c_str());
    std::printf("  ratio: %s with the bus daemon, without a bus %s", Text(ratio, "%.4f").c_str(),
                Text(ratio_alone, "%.4f").c_str());
    if (goal > 0)
        std::printf("; goal <= %.2f: %s (without a bus: %s)", goal, Verdict(ratio, goal).c_str(),
                    Verdict(ratio_alone, goal).c_str());
    std::printf("\n\n");
    std::fflush(stdout);
}

// Every receiver at the full rate with no frame missing, and every copy's lateness within 1 ms
// of what the machine itself gave a bare paced loop in the same window.
bool EveryCopyHeldTheRate(const CopiesFigures& f, const ProgramCase& c)
{
    const double rate = double(c.rate_N) / c.rate_D;
    for (const ProcessFigures& copy : f.copies)
        if (copy.received.missing != 0 || copy.received.frames_per_s < rate - 0.5 ||
            copy.received.p99_late_ms > f.bare_p99_late_ms + 1.0)
            return false;
    return true;
}

void RunEightCopies(const ProgramCase& c, const ProgramSetup& setup, int runs)
{
    std::printf("%d copies at once, %s, each with its own receiver, each launched while the ones before it "
                "send\n",
                kCopies, Label(c).c_str());
    std::vector<double> shares, bare_p99s, worst_p99s;
    int held_runs = 0, numbered_runs = 0;
    for (int run = 1; run <= runs; ++run) {
        const CopiesFigures f = MeasureCopies(c, kCopies, true, setup);
        if (f.copies.size() != size_t(kCopies)) {
            std::printf("  run %d: failed (a copy did not come up)\n", run);
            continue;
        }
        double cpu_s = 0, worst_p99_ms = 0;
        std::printf("  run %d\n", run);
        for (size_t i = 0; i < f.copies.size(); ++i) {
            const ProcessFigures& copy = f.copies[i];
            cpu_s += copy.cpu_s;
            worst_p99_ms = std::max(worst_p99_ms, copy.received.p99_late_ms);
            const std::string who = "No " + std::to_string(i + 1);
            PrintReceived(who.c_str(), copy);
        }
        shares.push_back(100 * (cpu_s + f.bus_cpu_s) / setup.window_s);
        bare_p99s.push_back(f.bare_p99_late_ms);
        worst_p99s.push_back(worst_p99_ms);
        const bool held = EveryCopyHeldTheRate(f, c);
        held_runs += held;
        numbered_runs += f.numbered_at_once;
        std::printf("    copies and bus daemon %.1f %% of one core (the daemon %.1f %%); worst p99 lateness %.2f ms, "
                    "a bare paced loop's %.2f ms; every receiver at %d/%d with no frame missing and every p99 "
                    "within 1 ms of the bare loop: %s; every copy took its number at once: %s\n",
                    shares.back(), 100 * f.bus_cpu_s / setup.window_s, worst_p99_ms, f.bare_p99_late_ms,
                    c.rate_N / c.rate_D, 1, held ? "yes" : "NO", f.numbered_at_once ? "yes" : "NO");
        std::fflush(stdout);
    }
    if (shares.empty())
        return;
    const Spread share = SpreadOf(shares);
    std::printf("  copies and bus daemon %s %% of one core; worst p99 lateness %s ms beside a bare paced loop's %s ms\n",
                Text(share, "%.1f").c_str(), Text(SpreadOf(worst_p99s), "%.2f").c_str(),
                Text(SpreadOf(bare_p99s), "%.2f").c_str());
    std::printf("  goal every copy at the full rate, none missing, p99 within 1 ms of the bare loop: %d of %zu runs; "
                "numbers taken at once: %d of %zu runs; all under 50 %% of a core: %s\n\n",
                held_runs, shares.size(), numbered_runs, shares.size(), Verdict(share, 50).c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    const auto [runs, window_s] = ReadCommandLine(argc, argv);
    ProgramSetup setup;
    setup.headless = VANTOR_HEADLESS_PATH;
    setup.watermark_png = VANTOR_WATERMARK_PNG;
    setup.window_s = window_s;
    const RunFolder folder("vantor-program-bench");
    if (!MakeSequencePictures(folder.path(), setup)) {
        std::fprintf(stderr, "program_bench: could not make the sequence pictures with ffmpeg\n");
        return 1;
    }
    std::printf("Whole program: process CPU per frame (user + system, /proc, every thread) over %d s, beside\n"
                "an ffmpeg command line doing the same job; %d runs; median [lowest - highest]\n"
                "(receiver rates and lateness as a real ffmpeg receiver sees the stream)\n\n",
                setup.window_s, runs);
    const struct {
        ProgramCase c;
        double goal;  // highest ratio to ffmpeg; 0: none set
    } cases[] = {
        {{1280, 720, 30000, 1200, false}, 0.10},
        {{1280, 720, 30000, 1200, true}, 0},
        {{3840, 2160, 60000, 1000, false}, 0.05},
        {{3840, 2160, 60000, 1000, true}, 0.15},
    };
    const std::string only = argc > 3 ? argv[3] : "";
    if (only == "still720" || only == "still2160") {
        const auto& c = cases[only == "still720" ? 0 : 2];
        RunOneCopyCase(c.c, c.goal, setup, runs);
        return 0;
    }
    for (const auto& c : only == "quick" ? std::span(cases).first(1) : std::span(cases))
        RunOneCopyCase(c.c, c.goal, setup, runs);
    RunEightCopies(cases[2].c, setup, runs);
    return 0;
}
