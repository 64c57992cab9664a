#include "platform/service_notifier.h"

#include <systemd/sd-daemon.h>

namespace vantor {

ServiceNotifier::ServiceNotifier()
{
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0)
        watchdog_ns_ = int64_t(usec) * 1000;
}

void ServiceNotifier::Ready() { sd_notify(0, "READY=1"); }

void ServiceNotifier::Status(const QString& line)
{
    sd_notify(0, ("STATUS=" + line.toUtf8()).constData());
}

void ServiceNotifier::Stopping() { sd_notify(0, "STOPPING=1"); }

void ServiceNotifier::Alive(int64_t now_ns)
{
    if (!watchdog_on())
        return;
    int64_t due = next_alive_ns_.load(std::memory_order_relaxed);
    // Whoever moves the next time on sends it: two threads never both do.
    if (now_ns < due || !next_alive_ns_.compare_exchange_strong(due, now_ns + watchdog_ns_ / 2))
        return;
    sd_notify(0, "WATCHDOG=1");
}

}  // namespace vantor
