#pragma once
// What a copy is started with, from its command line and its setup file: the operator's setup
// and how the copy is reached from outside.

#include "control/setup.h"

namespace vantor {

struct LaunchSettings {
    Setup setup;

    // Takes every item that `over` names.
    void TakeFrom(const LaunchSettings& over) { setup.TakeFrom(over.setup); }
};

}  // namespace vantor
