#pragma once
// Beyond the seven operations: the TCP port a source listens on, for tests, tools and a status
// line (several sources on one machine take consecutive free ports).

#include "ndi/ndi_runtime.h"

#include <cstdint>

// 0 for a null handle, and under the vendor's runtime (see extensions.h).
uint16_t NDIlib_send_get_port(NDIlib_send_instance_t p_instance);
