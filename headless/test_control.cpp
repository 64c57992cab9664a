#include "headless/test_control.h"

#include "engine/engine.h"
#include "engine/instance_sync.h"
#include "headless/overlay_command.h"

#include <QSocketNotifier>

#include <unistd.h>

namespace vantor {

TestControl::TestControl(Engine& engine, InstanceSync& sync, OverlayState& overlay, PlaybackState& playback,
                         void (*say)(const QString& line), QObject* parent)
    : QObject(parent), engine_(engine), sync_(sync),
      notifier_(new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this)),
      overlay_(new OverlayCommand(
          engine, overlay, playback,
          [say](bool on) { say(on ? QStringLiteral("Overlay on") : QStringLiteral("Overlay not loaded")); }, this))
{
    connect(notifier_, &QSocketNotifier::activated, this, &TestControl::ReadLine);
}

bool TestControl::Requested() { return qEnvironmentVariable("NDIVANTOR_TEST_CONTROL") == QLatin1String("1"); }

void TestControl::ReadLine()
{
    char buffer[256];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        notifier_->setEnabled(false);  // the test closed its end: nothing more will come
        return;
    }
    pending_.append(buffer, n);
    for (qsizetype end; (end = pending_.indexOf('\n')) >= 0;) {
        const QByteArray line = pending_.left(end).trimmed();
        pending_.remove(0, end + 1);
        Run(line);
    }
}

void TestControl::Run(const QByteArray& command)
{
    const QList<QByteArray> words = command.split(' ');
    const QByteArray verb = words.value(0);
    const bool on = words.value(1) == "on";
    if (verb == "master")
        sync_.MasterClicked(on);
    else if (verb == "slave")
        sync_.SlaveClicked(on);
    else if (verb == "start")
        engine_.PressStart();
    else if (verb == "stop")
        engine_.PressStop();
    else if (verb == "format")
        engine_.SelectResolution(words.value(1).toInt());
    else if (verb == "rate")
        engine_.SelectFrameRate(words.value(1).toInt());
    else if (verb == "overlay")
        overlay_->Load(QString::fromUtf8(command.mid(verb.size() + 1)));
    else if (verb == "exit")
        engine_.ExitConfirmed();
}

}  // namespace vantor
