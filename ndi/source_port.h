#pragma once
// Beyond the seven operations: the TCP port a source listens on and the receivers it serves, for
// tests, tools and a status line (several sources on one machine take consecutive free ports).

#include "ndi/ndi_runtime.h"

#include <cstdint>

// 0 for a null handle, and under the vendor's runtime (see extensions.h).
uint16_t NDIlib_send_get_port(NDIlib_send_instance_t p_instance);

// The receivers connected to the source now; -1 for a null handle, and under the vendor's
// runtime, which does not say.
int32_t NDIlib_send_get_receiver_count(NDIlib_send_instance_t p_instance);

// Bytes of the stream written to the source's receivers so far; 0 for a null handle, and under
// the vendor's runtime.
uint64_t NDIlib_send_get_bytes_sent(NDIlib_send_instance_t p_instance);

// True when the latest NDIlib_send_create gave no source because every port from 5960 to 5999
// was taken (the runtime has then said so on standard error); false under the vendor's runtime.
bool NDIlib_send_create_found_no_free_port();
