// ndivantor-headless: the engine of one copy with no window and no options. It takes its copy
// number from the other copies on the session bus, sends 1280 x 720 at 25p, starts by itself
// after two seconds with the house watermark, and on SIGTERM or SIGINT stops and shuts down in
// order. Watch it with: ffplay tcp://127.0.0.1:5960

#include "engine/engine.h"
#include "engine/engine_constants.h"
#include "engine/instance_sync.h"
#include "headless/test_control.h"
#include "platform/copy_link.h"
#include "platform/stdin_commands.h"
#include "platform/unix_signals.h"

#include <QCoreApplication>

#include <cstdio>

using namespace vantor;

namespace {

void Say(const QString& line)
{
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}

void Complain(const char* line)
{
    std::fprintf(stderr, "ndivantor-headless: %s\n", line);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    OverlayState overlay;
    PlaybackState playback;
    Engine engine(overlay, playback, nullptr);
    switch (engine.Startup()) {
    case StartupResult::kCannotRunNdi: Complain(kCannotRunNdiMessage); return 1;
    case StartupResult::kFrameCreationProblem: Complain(kFrameCreationProblemMessage); return 1;
    case StartupResult::kReady: break;
    }

    CopyLink link(engine);
    if (!link.on_bus())
        Complain("no session bus: running alone as copy No 1");
    InstanceSync& sync = link.sync();

    QObject::connect(&sync, &InstanceSync::titleChanged, &app, [](const QString& title) { Say(title); });
    QObject::connect(&sync, &InstanceSync::duplicateNumberResolved, &app, [](int32_t from, int32_t to) {
        Say(QStringLiteral("Another copy also took No %1: now No %2").arg(from + 1).arg(to + 1));
    });
    QObject::connect(&sync, &InstanceSync::exitRequested, &app, [&engine] {
        Complain("eight copies already run on this machine: exiting");
        engine.ExitConfirmed();
    });
    QObject::connect(&engine, &Engine::sendingChanged, &app,
                     [](bool running) { Say(running ? QStringLiteral("Sending") : QStringLiteral("Stopped")); });
    QObject::connect(&engine, &Engine::finished, &app, &QCoreApplication::quit);

    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &app,
                     [&engine] { engine.ExitConfirmed(); });
    if (StdinCommands::Requested())
        new TestControl(engine, sync, overlay, playback, Say, &app);

    sync.Announce();
    engine.ScheduleAutoStart();
    return app.exec();
}
