#include "platform/realtime_thread.h"

#include <systemd/sd-bus.h>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace vantor {
namespace {

constexpr int kPriority = 10;                  // RealtimeKit grants up to 20 by default
constexpr rlim_t kRunLimit_us = 200'000;      // RealtimeKit's own ceiling

bool LimitRunTime()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) == 0 && limit.rlim_max != RLIM_INFINITY && limit.rlim_max <= kRunLimit_us)
        return true;
    limit.rlim_cur = limit.rlim_max = kRunLimit_us;
    return setrlimit(RLIMIT_RTTIME, &limit) == 0;
}

// A system-call filter (a unit's RestrictRealtime=, say) shows as seccomp filter mode 2.
bool UnderSystemCallFilter()
{
    std::FILE* status = std::fopen("/proc/self/status", "re");
    if (!status)
        return false;
    char line[256];
    bool filtered = false;
    while (!filtered && std::fgets(line, sizeof line, status))
        filtered = std::strncmp(line, "Seccomp:\t2", 10) == 0;
    std::fclose(status);
    return filtered;
}

// The true cause of a refusal, so that the administrator knows what to change.
std::string RefusalCause(int error)
{
    rlimit limit{};
    getrlimit(RLIMIT_RTPRIO, &limit);
    if (error == EPERM && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < rlim_t(kPriority))
        return "RLIMIT_RTPRIO is " + std::to_string(limit.rlim_cur) + ", under " + std::to_string(kPriority) +
               ": the user is not in the group ndivantor-realtime, or its limits could not be set, or the "
               "session began before the user joined it";
    if (error == EPERM && UnderSystemCallFilter())
        return "a system-call filter refuses it (RestrictRealtime=)";
    if (error == EPERM)
        return "RLIMIT_RTPRIO allows it, but the control group has no real-time time (cpu.rt_runtime_us)";
    return std::strerror(error);
}

// Empty when the thread now runs under SCHED_FIFO; otherwise why not.
std::string Directly()
{
    const sched_param parameter{.sched_priority = kPriority};
    const int error = pthread_setschedparam(pthread_self(), SCHED_FIFO | SCHED_RESET_ON_FORK, &parameter);
    return error == 0 ? std::string() : "SCHED_FIFO refused: " + RefusalCause(error);
}

std::string ThroughRealtimeKit()
{
    sd_bus* bus = nullptr;
    if (const int error = sd_bus_open_system(&bus); error < 0)
        return "no system bus for RealtimeKit (" + std::string(std::strerror(-error)) + ")";
    sd_bus_error answer = SD_BUS_ERROR_NULL;
    const int result = sd_bus_call_method(bus, "org.freedesktop.RealtimeKit1", "/org/freedesktop/RealtimeKit1",
                                          "org.freedesktop.RealtimeKit1", "MakeThreadRealtime", &answer, nullptr,
                                          "tu", uint64_t(gettid()), uint32_t(kPriority));
    std::string why;
    if (result < 0)
        why = "RealtimeKit: " + std::string(answer.message ? answer.message : std::strerror(-result));
    sd_bus_error_free(&answer);
    sd_bus_flush_close_unref(bus);
    return why;
}

}  // namespace

void MakeThisThreadRealtime()
{
    static std::atomic<bool> told{false};
    std::string why;
    if (!LimitRunTime())
        why = "RLIMIT_RTTIME could not be set";
    else if (const std::string direct = Directly(); !direct.empty()) {
        const std::string kit = ThroughRealtimeKit();
        why = kit.empty() ? std::string() : direct + "; " + kit;
    }
    if (!why.empty() && !told.exchange(true))
        std::fprintf(stderr, "The send thread runs without real-time scheduling: %s\n", why.c_str());
}

}  // namespace vantor
