// ndivantor-headless: the engine of one copy with no window. It takes its copy number from the
// other copies on the session bus and starts by itself after two seconds (started with a setup,
// as a service is, at once); without options it sends the house watermark at 1280 x 720 25p,
// with them (or a setup file) the operator's logo, place and format. On SIGTERM or SIGINT it
// stops and shuts down in order.
// Watch it with: ffplay tcp://127.0.0.1:5960

#include "control/command_line.h"
#include "control/copy_control.h"
#include "control/invisible_logo.h"
#include "control/remote_control.h"
#include "control/setup_launch.h"
#include "engine/engine.h"
#include "engine/engine_constants.h"
#include "engine/instance_sync.h"
#include "headless/service_link.h"
#include "platform/bus_probe.h"
#include "platform/copy_link.h"
#include "platform/realtime_thread.h"
#include "platform/unix_signals.h"

#include <QCoreApplication>

#include <cstdio>
#include <utility>

using namespace vantor;

namespace {

constexpr char kDescription[] =
    "Sends a station logo as a network video source, without a window: the house watermark, or the\n"
    "logo, place and format given by the options or a setup file. Copies on one machine number\n"
    "themselves 1 to 8; each starts sending two seconds after launch (with --config or --restore, as\n"
    "soon as it has its number) and stops in order on SIGTERM.";

void Say(const QString& line)
{
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}

void Complain(const QString& line)
{
    std::fprintf(stderr, "ndivantor-headless: %s\n", qPrintable(line));
}

}  // namespace

int main(int argc, char** argv)
{
    const CommandLine command_line = ReadCommandLine(Arguments(argc, argv), QString::fromLatin1(kDescription));
    if (!command_line.start)
        return command_line.exit_code;

    const bool bus_silent = LeaveSilentSessionBus();
    QCoreApplication app(argc, argv);
    OverlayState overlay;
    PlaybackState playback;
    Engine engine(overlay, playback, nullptr);
    switch (engine.Startup()) {
    case StartupResult::kCannotRunNdi: Complain(QString::fromLatin1(kCannotRunNdiMessage)); return 1;
    case StartupResult::kFrameCreationProblem: Complain(QString::fromLatin1(kFrameCreationProblemMessage)); return 1;
    case StartupResult::kReady: break;
    }

    engine.SetSendThreadStart(MakeThisThreadRealtime);
    CopyLink link(engine);
    if (bus_silent)
        Complain(QStringLiteral("the session bus did not answer within %1 s: running alone as copy No 1")
                     .arg(kBusAnswerLimitMs / 1000));
    else if (!link.on_bus())
        Complain(QStringLiteral("no session bus: running alone as copy No 1"));
    InstanceSync& sync = link.sync();
    CopyControl control(engine, overlay, playback, sync);
    const auto report = [](const Notice& notice) { Complain(notice.detail); };
    SetupLaunch launch(control, sync, overlay.frames, *command_line.start, report);
    InvisibleLogoWatch invisible_logo(control, report);
    RemoteControl remote({control, engine, overlay, playback, sync}, command_line.start->Settings().control, report);
    ServiceLink service(engine, control);

    QObject::connect(&sync, &InstanceSync::titleChanged, &app, [](const QString& title) { Say(title); });
    QObject::connect(&sync, &InstanceSync::duplicateNumberResolved, &app, [](int32_t from, int32_t to) {
        Say(QStringLiteral("Another copy also took No %1: now No %2").arg(from + 1).arg(to + 1));
    });
    QObject::connect(&sync, &InstanceSync::exitRequested, &app, [&engine, &service] {
        Complain(QStringLiteral("eight copies already run on this machine: exiting"));
        service.Stopping();
        engine.ExitConfirmed();
    });
    QObject::connect(&engine, &Engine::sendingChanged, &app,
                     [](bool running) { Say(running ? QStringLiteral("Sending") : QStringLiteral("Stopped")); });
    QObject::connect(&engine, &Engine::finished, &app, &QCoreApplication::quit);
    // A logo loaded and switched on (or off) is said once, when it is so, for whoever waits on it.
    QObject::connect(&control, &CopyControl::changed, &app, [&control, said_on = false]() mutable {
        const bool on = control.Current().on.value_or(false) && !control.overlay_loading();
        if (std::exchange(said_on, on) != on)
            Say(on ? QStringLiteral("Overlay on") : QStringLiteral("Overlay off"));
    });

    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &app,
                     [&engine, &service] {
                         service.Stopping();
                         engine.ExitConfirmed();
                     });

    sync.Announce();
    // Started by a service manager (a setup file, --restore), the copy is back on air as soon as
    // it has its number; by hand, two seconds after launch.
    if (command_line.start->config_path || command_line.start->restore)
        QObject::connect(&sync, &InstanceSync::numberTaken, &engine, [&engine] { engine.ScheduleAutoStart(0); },
                         Qt::SingleShotConnection);
    else
        engine.ScheduleAutoStart();
    return app.exec();
}
