#include "private_bus.h"

#include "support/spin_until.h"

namespace vantor::test {
namespace {

constexpr int kDaemonBound_ms = 10000;

}  // namespace

PrivateBus::PrivateBus()
{
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!daemon_.waitForStarted(kDaemonBound_ms))
        return;
    SpinUntil([this] { return daemon_.canReadLine() || daemon_.state() == QProcess::NotRunning; },
              kDaemonBound_ms);
    if (daemon_.canReadLine())
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus()
{
    if (daemon_.state() == QProcess::NotRunning)
        return;
    daemon_.terminate();
    if (!daemon_.waitForFinished(kDaemonBound_ms))
        daemon_.kill();
    daemon_.waitForFinished(kDaemonBound_ms);
}

}  // namespace vantor::test
