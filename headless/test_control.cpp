#include "headless/test_control.h"

#include "control/copy_control.h"
#include "engine/engine.h"
#include "engine/instance_sync.h"
#include "platform/stdin_commands.h"

namespace vantor {

TestControl::TestControl(Engine& engine, InstanceSync& sync, CopyControl& control, void (*say)(const QString& line),
                         QObject* parent)
    : QObject(parent), engine_(engine), sync_(sync), control_(control), say_(say)
{
    connect(new StdinCommands(this), &StdinCommands::command, this, &TestControl::Run);
}

void TestControl::Run(const QList<QByteArray>& words)
{
    const QByteArray verb = words.value(0);
    const bool on = words.value(1) == "on";
    if (verb == "master" || verb == "slave") {
        if (verb == "master")
            sync_.MasterClicked(on);
        else
            sync_.SlaveClicked(on);
        // A test must know the role is taken before another copy's order can reach this one.
        say_(QStringLiteral("Role %1 %2").arg(QString::fromUtf8(verb), on ? QStringLiteral("on") : QStringLiteral("off")));
    } else if (verb == "start")
        engine_.PressStart();
    else if (verb == "stop")
        engine_.PressStop();
    else if (verb == "format")
        engine_.SelectResolution(words.value(1).toInt());
    else if (verb == "rate")
        engine_.SelectFrameRate(words.value(1).toInt());
    else if (verb == "overlay")
        LoadOverlay(QString::fromUtf8(words.mid(1).join(' ')));
    else if (verb == "exit")
        engine_.ExitConfirmed();
}

// As the Overlay setup dialog with every question answered OK, closed with the overlay on.
void TestControl::LoadOverlay(const QString& path)
{
    control_.LoadOverlay(path, [this](const OverlayLoadResult& result) {
        if (!result.failure.isEmpty() || !control_.SetOverlayOn(true))
            return say_(QStringLiteral("Overlay not loaded"));
        control_.ConfirmOverlay();
        say_(QStringLiteral("Overlay on"));
    });
}

}  // namespace vantor
