#include "headless/service_link.h"

#include "control/copy_control.h"
#include "control/service_status.h"
#include "engine/engine.h"
#include "ndi/pacing_clock.h"

#include <algorithm>

namespace vantor {
namespace {

// Receivers come and go without a signal: the status is looked at this often.
constexpr int kRefresh_ms = 1000;

}  // namespace

ServiceLink::ServiceLink(Engine& engine, const CopyControl& control, QObject* parent)
    : QObject(parent), engine_(engine), control_(control)
{
    if (notifier_.watchdog_on())
        engine_.SetOnTimeFrame([this] { notifier_.Alive(ndi::PacingClock::NowNs()); });
    // A quarter of the watchdog interval, so that a notification at most once per half of it
    // (the notifier's own limit) is never a tick too late.
    const int64_t quarter_watchdog_ms = notifier_.watchdog_ns() / 4'000'000;
    timer_.setInterval(notifier_.watchdog_on() ? int(std::clamp<int64_t>(quarter_watchdog_ms, 1, kRefresh_ms)) : kRefresh_ms);
    connect(&timer_, &QTimer::timeout, this, &ServiceLink::Refresh);
    connect(&engine_, &Engine::sendingChanged, this, &ServiceLink::Refresh);
    connect(&engine_, &Engine::onAir, this, &ServiceLink::Refresh);  // ready with the first frame
    connect(&engine_, &Engine::infoTextChanged, this, &ServiceLink::Refresh);
    connect(&engine_, &Engine::sourceChanged, this, &ServiceLink::Refresh);
    connect(&control_, &CopyControl::changed, this, &ServiceLink::Refresh);
    timer_.start();
    Refresh();
}

void ServiceLink::Refresh()
{
    if (stopping_)
        return;
    const QString status = ServiceStatusLine(engine_, control_);
    if (status != status_) {
        status_ = status;
        notifier_.Status(status);
    }
    const bool on_air = engine_.running() && engine_.figures().frames_sent() > 0;
    if (on_air && !ready_) {
        ready_ = true;
        notifier_.Ready();
    }
    // Stopped by the operator (or never started): alive all the same. While the loop runs, only
    // its frames on time say so.
    if (!engine_.running())
        notifier_.Alive(ndi::PacingClock::NowNs());
}

void ServiceLink::Stopping()
{
    if (stopping_)
        return;
    stopping_ = true;
    timer_.stop();
    notifier_.Stopping();
}

}  // namespace vantor
