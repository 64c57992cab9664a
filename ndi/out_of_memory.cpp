#include "ndi/out_of_memory.h"

#include <atomic>
#include <cstdio>

namespace vantor::ndi {

void ReportOutOfMemory()
{
    static std::atomic<bool> said{false};
    if (!said.exchange(true))
        std::fprintf(stderr, "%s\n", kOutOfMemoryLine);  // unbuffered: writing allocates nothing
}

}  // namespace vantor::ndi
