#include "engine/send_rest.h"

#include <sys/resource.h>

#include <ctime>

namespace vantor {
namespace {

constexpr int64_t kLongestRunNs = 50'000'000;  // a quarter of RLIMIT_RTTIME's 200 ms
constexpr long kRestNs = 100'000;

int64_t MonotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

long VoluntarySwitches()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

}  // namespace

void SendRest::AfterFrame()
{
    const long blocks = VoluntarySwitches();
    const int64_t now_ns = MonotonicNs();
    if (blocks != blocks_) {
        blocks_ = blocks;
        blocked_ns_ = now_ns;
        return;
    }
    if (now_ns - blocked_ns_ < kLongestRunNs)
        return;
    const timespec rest{0, kRestNs};
    nanosleep(&rest, nullptr);
    blocks_ = VoluntarySwitches();
    blocked_ns_ = MonotonicNs();
}

}  // namespace vantor
