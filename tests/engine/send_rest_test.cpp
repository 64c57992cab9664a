// A real-time thread under RLIMIT_RTTIME that is behind its frames (its work outlasts every
// frame, so its waits never block) must live: the kernel would kill it after 200 ms without a
// block. Run in a child process, since the limit and the scheduling are the process's.

#include "engine/send_rest.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>

namespace vantor {
namespace {

constexpr int kNoRealtime = 77;

// A child under SCHED_FIFO and the 200 ms limit, with frames of 20 ms of work each for a second.
[[noreturn]] void RunLateFramesForOneSecond()
{
    const rlimit limit{200'000, 200'000};
    const sched_param priority{.sched_priority = 1};
    if (setrlimit(RLIMIT_RTTIME, &limit) != 0 || sched_setscheduler(0, SCHED_FIFO, &priority) != 0)
        _exit(kNoRealtime);
    using Clock = std::chrono::steady_clock;
    SendRest rest;
    for (const auto end = Clock::now() + std::chrono::seconds(1); Clock::now() < end; rest.AfterFrame())
        for (const auto frame_end = Clock::now() + std::chrono::milliseconds(20); Clock::now() < frame_end;) {
        }
    _exit(0);
}

TEST(SendRest, ARealtimeSenderBehindItsFramesOutlivesTheKernelsLimitOnRunningWithoutABlock)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        RunLateFramesForOneSecond();
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (WIFEXITED(status) && WEXITSTATUS(status) == kNoRealtime)
        GTEST_SKIP() << "this machine grants no SCHED_FIFO";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "killed by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

}  // namespace
}  // namespace vantor
