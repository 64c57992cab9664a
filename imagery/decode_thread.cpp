#include "imagery/decode_thread.h"

namespace vantor {

void DecodeThread::Run(std::function<void()> job)
{
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void DecodeThread::Serve(std::stop_token stop)
{
    std::unique_lock lock(mutex_);
    while (wake_.wait(lock, stop, [this] { return !jobs_.empty(); }) && !stop.stop_requested()) {
        const std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}

}  // namespace vantor
