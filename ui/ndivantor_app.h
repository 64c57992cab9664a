#pragma once
// The program around the main window: it runs the window modally for the whole life of the
// process, ends in order on SIGTERM and SIGINT as through the exit confirmation, and releases
// everything in the reverse order of its making when the window has ended.

#include "control/command_line.h"

namespace vantor {

class CNDIVantorApp {
public:
    // Runs the whole program with the setup it was started with; the process's exit code.
    int InitInstance(StartRequest start = {});
};

}  // namespace vantor
