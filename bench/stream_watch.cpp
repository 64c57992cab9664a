#include "stream_watch.h"

#include "pacing.h"

#include <poll.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace vantor::bench {

namespace {

std::vector<std::string> ReceiverCommand(uint16_t port, bool realtime)
{
    std::vector<std::string> command{"ffmpeg", "-nostdin", "-v", "error", "-i", "tcp://127.0.0.1:" + std::to_string(port),
                                     "-c", "copy", "-f", "framecrc", "-flush_packets", "1", "pipe:1"};
    if (realtime)
        command.insert(command.begin(), {"chrt", "-f", "20"});
    return command;
}

}  // namespace

StreamWatch::StreamWatch(uint16_t port, bool realtime)
    : receiver_(ReceiverCommand(port, realtime), {.pipe_output = true, .environment = {}}),
      lines_(receiver_.output_fd())
{
    arrivals_.reserve(1 << 16);
}

bool StreamWatch::Pump()
{
    std::vector<std::string> lines;
    open_ = open_ && lines_.ReadAvailable(lines);
    const int64_t now_ns = NowNs();
    for (const std::string& line : lines) {
        long long a = 0, b = 0, stream = 0, dts = 0, pts = 0;
        if (std::sscanf(line.c_str(), "#tb %*d: %lld/%lld", &a, &b) == 2) {
            time_base_num_ = a;
            time_base_den_ = b;
        } else if (std::sscanf(line.c_str(), "%lld, %lld, %lld,", &stream, &dts, &pts) == 3) {
            arrivals_.push_back({now_ns, pts});
        }
    }
    return open_;
}

// How much later the last frames arrive after their slots than the first did, per span of the
// stream: medians of a hundred at each end, so that one late arrival does not count.
double DriftPpm(std::span<const int64_t> offsets_ns, double span_ns)
{
    const size_t n = std::min<size_t>(100, offsets_ns.size() / 2);
    if (n == 0 || span_ns <= 0)
        return 0;
    const auto median = [n](std::span<const int64_t> part) {
        std::vector<int64_t> sorted(part.begin(), part.end());
        std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(n / 2), sorted.end());
        return double(sorted[n / 2]);
    };
    return (median(offsets_ns.last(n)) - median(offsets_ns.first(n))) / span_ns * 1e6;
}

ReceiverFigures StreamWatch::Figures(int64_t from_ns, int64_t to_ns, int32_t rate_N, int32_t rate_D) const
{
    std::vector<int64_t> slots, offsets_ns;
    const double period_ns = 1e9 * rate_D / rate_N;
    for (const Arrival& a : arrivals_) {
        if (a.at_ns < from_ns || a.at_ns >= to_ns)
            continue;
        const double pts_s = double(a.pts) * double(time_base_num_) / double(time_base_den_);
        const int64_t slot = std::llround(pts_s * rate_N / rate_D);
        slots.push_back(slot);
        offsets_ns.push_back(a.at_ns - int64_t(double(slot) * period_ns));
    }
    ReceiverFigures figures;
    figures.frames = int64_t(slots.size());
    figures.frames_per_s = double(slots.size()) * 1e9 / double(to_ns - from_ns);
    if (slots.empty())
        return figures;
    figures.missing = slots.back() - slots.front() + 1 - int64_t(slots.size());
    figures.drift_ppm = DriftPpm(offsets_ns, double(slots.back() - slots.front()) * period_ns);
    const int64_t earliest = *std::min_element(offsets_ns.begin(), offsets_ns.end());
    for (int64_t& offset : offsets_ns)
        offset -= earliest;
    figures.p99_late_ms = P99Ms(std::move(offsets_ns));
    return figures;
}

void PumpUntil(std::span<const std::unique_ptr<StreamWatch>> watches, int64_t until_ns)
{
    for (int64_t now = NowNs(); now < until_ns; now = NowNs()) {
        std::vector<pollfd> ready;
        for (const auto& watch : watches)
            ready.push_back({watch->poll_fd(), POLLIN, 0});
        ::poll(ready.data(), ready.size(), int(std::min<int64_t>((until_ns - now) / 1'000'000 + 1, 100)));
        for (const auto& watch : watches)
            watch->Pump();
    }
}

}  // namespace vantor::bench
