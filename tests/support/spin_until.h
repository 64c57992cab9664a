#pragma once
// Waiting in tests: the event loop runs (queued signals, child processes' output, bus messages)
// until a condition holds or a bound passes. The wait sleeps between events instead of spinning,
// so it leaves the machine's cores to the code under test.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace vantor::test {

// Runs the event loop until the condition holds or the time is up; true when it held. The
// condition is looked at after every event and at least every 10 ms.
template <typename Condition>
bool SpinUntil(Condition condition, int timeout_ms)
{
    QElapsedTimer timer;
    timer.start();
    QTimer wake;
    wake.start(10);
    while (!condition()) {
        if (timer.elapsed() > timeout_ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

inline void SpinFor(int ms)
{
    SpinUntil([] { return false; }, ms);
}

}  // namespace vantor::test
