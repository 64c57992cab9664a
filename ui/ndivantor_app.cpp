#include "ui/ndivantor_app.h"

#include "platform/stdin_commands.h"
#include "platform/unix_signals.h"
#include "ui/dialog_style.h"
#include "ui/main_dialog.h"
#include "ui/window_test_control.h"

#include <QApplication>

#include <memory>

namespace vantor {

int CNDIVantorApp::InitInstance(StartRequest start)
{
    QApplication::setStyle(new DialogStyle);  // the application owns it
    auto window = std::make_unique<CNDIVantorDlg>(std::move(start));
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, window.get(),
                     [&window] { window->OnTermination(); });
    if (StdinCommands::Requested())
        new WindowTestControl(*window);
    window->exec();
    window.reset();  // the engine, the runtime and the pictures go before the application
    return 0;
}

}  // namespace vantor
