#pragma once
// Which runtime runs, chosen once at NDIlib_initialize. The operator may ask for one with
// NDIVANTOR_RUNTIME=builtin or vendor; unset, the vendor's runs where it is installed and the
// built-in one everywhere else. The vendor's is looked for in the folder named by
// NDI_RUNTIME_DIR_V6, then NDI_RUNTIME_DIR_V5 (absolute folders only), then through the system's
// library search for libndi.so.6, then libndi.so.5. The choice is said in one line on standard
// error.

#include "ndi/vendor_library.h"

#include <memory>

namespace vantor::ndi {

struct RuntimeChoice {
    bool can_run = false;                   // NDIlib_initialize's answer
    std::unique_ptr<VendorLibrary> vendor;  // initialised; null when the built-in runtime runs
};

RuntimeChoice ChooseRuntime();

}  // namespace vantor::ndi
