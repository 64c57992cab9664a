#include "engine/logo_cycle.h"

#include <chrono>

namespace vantor {
namespace {

constexpr int64_t kNsPerMs = 1000000;

struct CycleTimes {
    int64_t first_ns;  // the first showing's start
    int64_t show_ns;
    int64_t every_ns;
};

// The start is read first: a cycle being set or cleared is seen whole or not at all.
std::optional<CycleTimes> Times(const OverlayState::Cycle& cycle)
{
    const int64_t start_ns = cycle.start_ns;
    const int64_t every_ms = cycle.every_ms;
    if (start_ns == 0 || every_ms <= 0)
        return std::nullopt;
    return CycleTimes{start_ns + cycle.delay_ms * kNsPerMs, cycle.show_ms * kNsPerMs, every_ms * kNsPerMs};
}

}  // namespace

int64_t SteadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool CycleShows(const OverlayState::Cycle& cycle, int64_t now_ns)
{
    const auto times = Times(cycle);
    if (!times)
        return true;
    return now_ns >= times->first_ns && (now_ns - times->first_ns) % times->every_ns < times->show_ns;
}

std::optional<int64_t> NextShowingNs(const OverlayState::Cycle& cycle, int64_t now_ns)
{
    const auto times = Times(cycle);
    if (!times)
        return std::nullopt;
    if (now_ns < times->first_ns)
        return times->first_ns;
    if (CycleShows(cycle, now_ns))
        return now_ns;
    return now_ns - (now_ns - times->first_ns) % times->every_ns + times->every_ns;
}

}  // namespace vantor
