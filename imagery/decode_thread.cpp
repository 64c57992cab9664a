#include "imagery/decode_thread.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace vantor {

// Held by the owner and by the thread, so that neither waits for the other to go.
struct DecodeThread::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    QObject* receiver;  // null once the owner has gone; read and cleared under the mutex
    bool busy = false;  // a job is under way; under the mutex

    void Serve()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return !jobs.empty() || !receiver; });
            if (!receiver)
                return;
            const Job job = std::move(jobs.front());
            jobs.pop_front();
            busy = true;
            lock.unlock();
            Then then = job();
            lock.lock();
            busy = false;
            // Under the mutex: the receiver cannot go between the look and the posting, and an
            // event posted to it is dropped with it if it goes before the event runs.
            if (receiver)
                QMetaObject::invokeMethod(receiver, std::move(then), Qt::QueuedConnection);
        }
    }
};

DecodeThread::DecodeThread(QObject& receiver) : shared_(std::make_shared<Shared>())
{
    shared_->receiver = &receiver;
    thread_ = std::thread([shared = shared_] { shared->Serve(); });
}

DecodeThread::~DecodeThread()
{
    bool busy = false;
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->receiver = nullptr;
        shared_->jobs.clear();
        busy = shared_->busy;
    }
    shared_->wake.notify_one();
    // An idle thread ends at once and is joined; a busy one is given up to end by itself.
    if (busy)
        thread_.detach();
    else
        thread_.join();
}

void DecodeThread::Run(Job job)
{
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->jobs.push_back(std::move(job));
    }
    shared_->wake.notify_one();
}

}  // namespace vantor
