// ndivantor: sends a station logo as a network video source, from its main window.

#include "control/command_line.h"
#include "platform/bus_probe.h"
#include "ui/display_guard.h"
#include "ui/ndivantor_app.h"

#include <cstdio>

namespace {

constexpr char kDescription[] =
    "Sends a station logo as a network video source, from its window: the house watermark until a\n"
    "logo is switched on, or the logo, place and format given by the options or a setup file.\n"
    "Copies on one machine number themselves 1 to 8; each starts sending two seconds after launch.";

}  // namespace

// The command line is read before the window system is reached, so --help, --version and a
// wrong option answer on a machine without a display too; without one, a copy says so.
int main(int argc, char** argv)
{
    const vantor::CommandLine command_line =
        vantor::ReadCommandLine(vantor::Arguments(argc, argv), QString::fromLatin1(kDescription));
    if (!command_line.start)
        return command_line.exit_code;
    // Before the window system: Qt's own parts may reach for the bus too.
    if (vantor::LeaveSilentSessionBus())
        std::fprintf(stderr, "ndivantor: the session bus did not answer within %d s: running alone as copy No 1\n",
                     vantor::kBusAnswerLimitMs / 1000);
    const auto app = vantor::MakeApplicationOrExit(argc, argv);
    return vantor::CNDIVantorApp().InitInstance(*command_line.start);
}
