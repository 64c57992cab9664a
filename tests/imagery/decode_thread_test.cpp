// Pictures decode on a thread of their own, one after another in the order asked, and the
// thread goes only once the decode at hand has ended.

#include "imagery/decode_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <semaphore>
#include <thread>
#include <vector>

namespace vantor {
namespace {

// `ran` is unguarded: jobs that overlapped, or a look at it before the last job ended, would
// race on it, and ThreadSanitizer would say so.
TEST(DecodeThread, RunsJobsInTurnOffTheCallersThreadAndGoingWaitsForTheJobAtHand)
{
    std::vector<int> ran;
    std::atomic<bool> on_caller{false};
    std::binary_semaphore last_started(0), go_on(0);
    const std::thread::id caller = std::this_thread::get_id();
    {
        DecodeThread thread;
        for (int job = 0; job < 3; ++job)
            thread.Run([&, job] {
                if (std::this_thread::get_id() == caller)
                    on_caller = true;
                ran.push_back(job);
            });
        thread.Run([&] {
            last_started.release();
            go_on.acquire();
            ran.push_back(3);
        });
        ASSERT_TRUE(last_started.try_acquire_for(std::chrono::seconds(20)));  // reached only when broken
        go_on.release();
    }
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_FALSE(on_caller);
}

}  // namespace
}  // namespace vantor
