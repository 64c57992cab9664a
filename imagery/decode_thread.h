#pragma once
// The thread pictures decode on, away from the thread that answers: one job after another, so
// that two pictures never hold their peaks at once (the memory rule measures one load against
// what the machine can give). A thread of our own, joined when its owner goes, rather than a
// QThreadPool: the pool's idle thread is let go through Qt's own mutex, which ThreadSanitizer
// cannot see, so every pool torn down after a job read there as a race.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

namespace vantor {

class DecodeThread {
public:
    DecodeThread() = default;
    DecodeThread(const DecodeThread&) = delete;
    DecodeThread& operator=(const DecodeThread&) = delete;
    // Going waits for the job at hand; those not begun are dropped, as nobody is left to take
    // what they would make.
    ~DecodeThread() = default;

    // Runs `job` on the thread once the jobs before it have run.
    void Run(std::function<void()> job);

private:
    void Serve(std::stop_token stop);

    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<std::function<void()>> jobs_;
    std::jthread thread_{[this](std::stop_token stop) { Serve(std::move(stop)); }};  // last: stops first
};

}  // namespace vantor
