#include "headless/test_control.h"

#include "engine/engine.h"
#include "engine/instance_sync.h"
#include "headless/overlay_command.h"
#include "platform/stdin_commands.h"

namespace vantor {

TestControl::TestControl(Engine& engine, InstanceSync& sync, OverlayState& overlay, PlaybackState& playback,
                         void (*say)(const QString& line), QObject* parent)
    : QObject(parent), engine_(engine), sync_(sync),
      overlay_(new OverlayCommand(
          engine, overlay, playback,
          [say](bool on) { say(on ? QStringLiteral("Overlay on") : QStringLiteral("Overlay not loaded")); }, this))
{
    connect(new StdinCommands(this), &StdinCommands::command, this, &TestControl::Run);
}

void TestControl::Run(const QList<QByteArray>& words)
{
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
        overlay_->Load(QString::fromUtf8(words.mid(1).join(' ')));
    else if (verb == "exit")
        engine_.ExitConfirmed();
}

}  // namespace vantor
