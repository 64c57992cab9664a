// The send loop's cadence on a busy machine: one copy of ndivantor-headless at 1920 x 1080 60p
// with the house watermark, sending to one real ffmpeg receiver, alone and beside a niced
// two-thread x264 encode (a mixer or encoder on the same machine), with the real-time
// scheduling the copy asks for and with it refused (CAP_SYS_NICE dropped, so SCHED_FIFO is
// refused as RLIMIT_RTPRIO is 0, and no RealtimeKit on this machine's bus). The receiver runs at
// real-time priority, as a studio's may, so that its own turns do not count. Figures: the
// receiver's p99 lateness of arrival, frames missing, frames per second; the median with the
// spread over the runs. Run it in the release build as root:
//     build/release/bench/cadence_bench [runs] [window seconds] [soak]
// "soak" runs only the real-time copy alone: with a window of 1200 s, the twenty-minute soak.

#include "bench_run.h"
#include "program_cpu.h"

#include <sched.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

using namespace vantor::bench;

namespace {

constexpr ProgramCase k1080p60{1920, 1080, 60000, 1000, false};

// The encode beside the copy: x264 on two threads at the lowest priority, as a background job.
std::vector<std::string> EncodeCommand()
{
    return {"nice", "-n", "19", "ffmpeg", "-hide_banner", "-loglevel", "error", "-re", "-f", "lavfi", "-i",
            "testsrc2=size=1920x1080:rate=60", "-c:v", "libx264", "-preset", "medium", "-threads", "2",
            "-f", "null", "-"};
}

// ndivantor-headless without the right to real-time scheduling.
std::string WithoutRealtime(const std::string& folder, const std::string& headless)
{
    const std::string path = folder + "/no-realtime.sh";
    std::ofstream(path) << "#!/bin/sh\nexec setpriv --bounding-set=-sys_nice --inh-caps=-sys_nice " << headless
                        << " \"$@\"\n";
    chmod(path.c_str(), 0755);
    return path;
}

void RunCase(const char* label, const ProgramSetup& setup, bool loaded, int runs)
{
    std::vector<double> p99s, fps, missing, drift_ppm, resident_mb;
    for (int run = 0; run < runs; ++run) {
        std::optional<BenchProcess> encode;
        if (loaded)
            encode.emplace(EncodeCommand());
        const CopiesFigures f = MeasureCopies(k1080p60, 1, false, setup);
        if (f.copies.empty()) {
            std::printf("  %s: the copy did not come up\n", label);
            return;
        }
        const ReceiverFigures& r = f.copies.front().received;
        p99s.push_back(r.p99_late_ms);
        fps.push_back(r.frames_per_s);
        missing.push_back(double(r.missing));
        drift_ppm.push_back(r.drift_ppm);
        resident_mb.push_back(double(f.copies.front().resident_bytes) / (1024.0 * 1024.0));
    }
    std::printf("  %-40s p99 late %s ms  %s fps  %s missing\n", label, Text(SpreadOf(p99s), "%.2f").c_str(),
                Text(SpreadOf(fps), "%.2f").c_str(), Text(SpreadOf(missing), "%.0f").c_str());
    std::printf("  %-40s drift %s ppm  RSS at the end %s MB\n", "", Text(SpreadOf(drift_ppm), "%.1f").c_str(),
                Text(SpreadOf(resident_mb), "%.1f").c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    const BenchRun run = ReadCommandLine(argc, argv);
    RunFolder folder("cadence_bench");
    // The receivers, and this thread that times their frames, at real-time priority; what this
    // process starts is not.
    const sched_param priority{.sched_priority = 20};
    if (sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &priority) != 0)
        std::printf("(this process could not take real-time priority: arrivals are timed at normal priority)\n");
    ProgramSetup realtime;
    realtime.headless = VANTOR_HEADLESS_PATH;
    realtime.window_s = run.window_s;
    realtime.realtime_receivers = true;
    ProgramSetup normal = realtime;
    normal.headless = WithoutRealtime(folder.path(), VANTOR_HEADLESS_PATH);
    std::printf("Cadence: 1920 x 1080 60p to one ffmpeg receiver, %d runs of %d s each\n", run.runs, run.window_s);
    RunCase("real-time, alone", realtime, false, run.runs);
    if (argc > 3 && std::string(argv[3]) == "soak")
        return 0;  // one long window of the copy as a station runs it
    RunCase("real-time, beside a niced x264 encode", realtime, true, run.runs);
    RunCase("normal, alone", normal, false, run.runs);
    RunCase("normal, beside a niced x264 encode", normal, true, run.runs);
}
