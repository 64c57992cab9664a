#pragma once
// What a copy is started with, from its command line and its setup file: the operator's setup
// and how the copy is reached from outside.

#include "control/control_settings.h"
#include "control/setup.h"

namespace vantor {

struct LaunchSettings {
    Setup setup;
    ControlSettings control;

    // Takes every item that `over` names.
    void TakeFrom(const LaunchSettings& over)
    {
        setup.TakeFrom(over.setup);
        control.TakeFrom(over.control);
    }
};

}  // namespace vantor
