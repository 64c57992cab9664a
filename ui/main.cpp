// ndivantor: sends a station logo as a network video source, from its main window.

#include "control/command_line.h"
#include "ui/ndivantor_app.h"

#include <QApplication>

namespace {

constexpr char kDescription[] =
    "Sends a station logo as a network video source, from its window: the house watermark until a\n"
    "logo is switched on, or the logo, place and format given by the options or a setup file.\n"
    "Copies on one machine number themselves 1 to 8; each starts sending two seconds after launch.";

}  // namespace

// The command line is read before the window system is reached, so --help, --version and a
// wrong option answer on a machine without a display too.
int main(int argc, char** argv)
{
    const vantor::CommandLine command_line =
        vantor::ReadCommandLine(vantor::Arguments(argc, argv), QString::fromLatin1(kDescription));
    if (!command_line.start)
        return command_line.exit_code;
    QApplication app(argc, argv);
    return vantor::CNDIVantorApp().InitInstance(*command_line.start);
}
