#include "program_cpu.h"

#include "logo_job.h"
#include "pacing.h"
#include "stream_client.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <thread>

namespace vantor::bench {
namespace {

constexpr int kStartBound_ms = 15000;
constexpr int kSettle_ms = 3000;  // from the receivers' start to the window
constexpr int kSequenceLength = 4;
// What a copy says when it finds another copy sending under the number it took.
constexpr char kRenumbered[] = "Another copy also took";

void SleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A session bus of the run's own, as a desktop session has one.
class PrivateBus {
public:
    PrivateBus()
        : daemon_({"dbus-daemon", "--session", "--nofork", "--print-address=1"},
                  {.pipe_output = true, .environment = {}}),
          lines_(daemon_.output_fd())
    {
        std::vector<std::string> lines;
        for (int waited_ms = 0; lines.empty() && waited_ms < kStartBound_ms; waited_ms += 10) {
            lines_.ReadAvailable(lines);
            SleepMs(10);
        }
        if (!lines.empty())
            address_ = lines.front();
    }
    const std::string& address() const { return address_; }
    pid_t pid() const { return daemon_.pid(); }

private:
    BenchProcess daemon_;
    LineReader lines_;
    std::string address_;
};

std::string Title(int number)
{
    return "Kelo Vantor for NDI\u00AE - No " + std::to_string(number);
}

// A process's CPU and context switches at the window's start.
struct Usage {
    double cpu_s;
    int64_t switches;
};

Usage UsageOf(pid_t pid) { return {CpuSecondsOf(pid), ContextSwitchesOf(pid)}; }

ProcessFigures Figures(pid_t pid, Usage before, const StreamWatch& watch, const ProgramCase& c, int64_t from_ns,
                       int64_t to_ns)
{
    ProcessFigures f;
    f.cpu_s = CpuSecondsOf(pid) - before.cpu_s;
    const int64_t switches = ContextSwitchesOf(pid) - before.switches;
    f.resident_bytes = ResidentBytesOf(pid);
    f.received = watch.Figures(from_ns, to_ns, c.rate_N, c.rate_D);
    if (f.received.frames > 0) {
        f.cpu_ms_per_frame = f.cpu_s * 1000 / double(f.received.frames);
        f.switches_per_frame = double(switches) / double(f.received.frames);
    }
    return f;
}

// After the settling time, the window: every process with its receiver, the session bus
// daemon (0: none) for its CPU alone, and a bare loop paced at the rate beside them.
CopiesFigures MeasureWindow(const std::vector<pid_t>& pids, const std::vector<std::unique_ptr<StreamWatch>>& watches,
                            const ProgramCase& c, const ProgramSetup& setup, pid_t bus_daemon)
{
    PumpUntil(watches, NowNs() + int64_t{kSettle_ms} * 1'000'000);
    std::vector<Usage> before;
    for (pid_t pid : pids)
        before.push_back(UsageOf(pid));
    const double bus_before_s = bus_daemon > 0 ? CpuSecondsOf(bus_daemon) : 0;
    const int64_t from_ns = NowNs();
    const int64_t to_ns = from_ns + int64_t{setup.window_s} * 1'000'000'000;
    std::vector<int64_t> bare_late_ns;
    std::thread bare_loop([&] {
        bare_late_ns = BareLoopLateness(c.rate_N, c.rate_D, int(int64_t{setup.window_s} * c.rate_N / c.rate_D) - 1);
    });
    PumpUntil(watches, to_ns);
    bare_loop.join();
    CopiesFigures figures;
    for (size_t i = 0; i < pids.size(); ++i)
        figures.copies.push_back(Figures(pids[i], before[i], *watches[i], c, from_ns, to_ns));
    figures.bus_cpu_s = bus_daemon > 0 ? CpuSecondsOf(bus_daemon) - bus_before_s : -1;
    figures.bare_p99_late_ms = P99Ms(std::move(bare_late_ns));
    return figures;
}

// The rate as the --rate option writes it: 25, 29.97, 30, 50 or 60.
std::string RateWord(int32_t rate_N, int32_t rate_D)
{
    char word[16];
    std::snprintf(word, sizeof word, "%g", std::round(100.0 * rate_N / rate_D) / 100);
    return word;
}

std::vector<std::string> CopyArguments(const ProgramCase& c, const ProgramSetup& setup)
{
    std::vector<std::string> argv{setup.headless, "--size", std::to_string(c.width) + "x" + std::to_string(c.height),
                                  "--rate", RateWord(c.rate_N, c.rate_D)};
    if (c.sequence)
        argv.insert(argv.end(), {"--overlay", setup.sequence_first, "--on"});
    return argv;
}

}  // namespace

ProgramCopy::ProgramCopy(const ProgramCase& c, const ProgramSetup& setup, const std::string& bus_address)
    : process(CopyArguments(c, setup),
              {.pipe_output = true, .environment = {"DBUS_SESSION_BUS_ADDRESS=" + bus_address}}),
      lines(process.output_fd())
{
}

// One that finds nothing ends at once and is started again.
std::unique_ptr<StreamWatch> ConnectedWatch(uint16_t port, bool realtime)
{
    for (int waited_ms = 0; waited_ms < kStartBound_ms; waited_ms += 500) {
        auto watch = std::make_unique<StreamWatch>(port, realtime);
        SleepMs(500);
        if (watch->Pump())
            return watch;
    }
    return nullptr;
}

bool MakeSequencePictures(const std::string& folder, ProgramSetup& setup)
{
    setup.sequence_raw = folder + "/sequence.raw";
    std::ofstream all(setup.sequence_raw, std::ios::binary);
    std::vector<uint8_t> logo;
    for (int n = 1; n <= kSequenceLength; ++n) {
        DrawLogo(n * 40, logo);
        all.write(reinterpret_cast<const char*>(logo.data()), std::streamsize(logo.size()));
        const std::string raw = folder + "/logo" + std::to_string(n) + ".raw";
        std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(logo.data()),
                                                   std::streamsize(logo.size()));
        BenchProcess convert({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "bgra",
                              "-video_size", std::to_string(kLogoW) + "x" + std::to_string(kLogoH), "-i", raw,
                              folder + "/logo" + std::to_string(n) + ".png"});
        if (convert.WaitCpuSeconds() < 0)
            return false;
    }
    setup.sequence_first = folder + "/logo1.png";
    return bool(all.flush());
}

CopiesFigures MeasureCopies(const ProgramCase& c, int copies, bool on_bus, const ProgramSetup& setup)
{
    std::optional<PrivateBus> bus;
    if (on_bus && bus.emplace().address().empty())
        return {};
    const std::string address = bus ? bus->address() : "unix:path=/nonexistent";
    std::vector<std::unique_ptr<ProgramCopy>> running;
    bool numbered_at_once = true;
    for (int n = 1; n <= copies; ++n) {
        running.push_back(std::make_unique<ProgramCopy>(c, setup, address));
        LineReader& lines = running.back()->lines;
        // In turn, so that each finds the ones before it numbered and sending.
        if (!lines.WaitFor(Title(n), kStartBound_ms) || !lines.WaitFor("Sending", kStartBound_ms))
            return {};
        numbered_at_once = numbered_at_once && !lines.SawLineStarting(kRenumbered);
    }
    std::vector<pid_t> pids;
    std::vector<std::unique_ptr<StreamWatch>> watches;
    for (const auto& copy : running) {
        if (c.sequence && !copy->lines.WaitFor("Overlay on", kStartBound_ms))
            return {};
        const auto port = test::SourcePortOf(copy->process.pid());
        if (!port)
            return {};
        pids.push_back(copy->process.pid());
        watches.push_back(ConnectedWatch(*port, setup.realtime_receivers));
        if (!watches.back())
            return {};
    }
    CopiesFigures figures = MeasureWindow(pids, watches, c, setup, bus ? bus->pid() : 0);
    figures.numbered_at_once = numbered_at_once;
    return figures;
}

ProcessFigures MeasureFfmpegJob(const ProgramCase& c, const ProgramSetup& setup)
{
    const std::vector<std::string> logo =
        c.sequence ? RawLogoInput(setup.sequence_raw, c.rate_N, c.rate_D, true)
                   : std::vector<std::string>{"-i", setup.watermark_png};  // one picture, held by overlay
    // Where the copy puts them: the sequence in the upper right corner, the watermark 20 pixels
    // in from it and a 120th of the height down.
    const int32_t x = c.sequence ? c.width - kLogoW : c.width - kLogoW - 20;
    const int32_t y = c.sequence ? 0 : c.height / 120;
    const uint16_t port = UnusedPort();
    BenchProcess job(FfmpegJobCommand({c.width, c.height, c.rate_N, c.rate_D, logo, x, y, true, {}, port}));
    std::vector<std::unique_ptr<StreamWatch>> watches;
    watches.push_back(ConnectedWatch(port));
    if (!watches.back())
        return {};
    return MeasureWindow({job.pid()}, watches, c, setup, 0).copies.front();
}

}  // namespace vantor::bench
