#pragma once
// What a copy run as a systemd service tells its service manager (sd_notify): that it is on
// air, a one-line status, that it is alive, that it is stopping. Without NOTIFY_SOCKET (outside
// a service) every call does nothing.

#include <QString>

#include <atomic>
#include <cstdint>

namespace vantor {

class ServiceNotifier {
public:
    // Reads the watchdog interval the service manager asks for (WATCHDOG_USEC), if any.
    ServiceNotifier();

    // User-interface thread.
    void Ready();
    void Status(const QString& line);
    void Stopping();

    // Any thread, the send thread included: WATCHDOG=1, at most once per half the watchdog
    // interval. Never waits (one datagram) and allocates nothing.
    void Alive(int64_t now_ns);
    bool watchdog_on() const { return watchdog_ns_ > 0; }
    int64_t watchdog_ns() const { return watchdog_ns_; }

private:
    int64_t watchdog_ns_ = 0;
    std::atomic<int64_t> next_alive_ns_{0};
};

}  // namespace vantor
