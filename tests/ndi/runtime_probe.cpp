// Starts the NDI runtime as the program does, prints its version and releases it: a process
// whose choice of runtime a test reads from its output and from the fake vendor runtime's log.

#include "ndi/ndi_runtime.h"

#include <cstdio>

int main()
{
    if (!NDIlib_initialize())
        return 1;
    std::puts(NDIlib_version());
    NDIlib_destroy();
    return 0;
}
