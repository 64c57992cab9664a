#pragma once
// The thread pictures decode on, away from the thread that answers: one job after another, so
// that two pictures never hold their peaks at once (the memory rule measures one load against
// what the machine can give). What a job makes is handed back to its receiver's thread through
// the event loop. The owner never waits for the thread: going, it drops the jobs not begun and
// gives up the one at hand, whose result is then dropped, so a copy asked to end ends at once
// whatever huge picture is decoding. A thread of our own rather than a QThreadPool: the pool's
// idle thread is let go through Qt's own mutex, which ThreadSanitizer cannot see.

#include <QObject>

#include <functional>
#include <memory>
#include <thread>

namespace vantor {

class DecodeThread {
public:
    // What a job hands back: run on the receiver's thread.
    using Then = std::function<void()>;
    using Job = std::function<Then()>;

    explicit DecodeThread(QObject& receiver);
    DecodeThread(const DecodeThread&) = delete;
    DecodeThread& operator=(const DecodeThread&) = delete;
    ~DecodeThread();

    // Runs `job` on the thread once the jobs before it have run; what it returns runs on the
    // receiver's thread unless this object has gone by then. A job must hold nothing of its
    // owner's but copies: it may outlive it.
    void Run(Job job);

private:
    struct Shared;
    const std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace vantor
