#pragma once
// Beyond the seven operations: a caller that knows what it changed in a frame says so before it
// sends it, and the source compares and encodes only there, so an unchanged frame costs next to
// nothing instead of a comparison of every pixel. A caller that says nothing has every frame
// compared whole.

#include "ndi/ndi_runtime.h"

#include <cstdint>

// A rectangle of frame pixels.
struct NDIlib_changed_rect_t {
    int32_t x = 0;  // leftmost column
    int32_t y = 0;  // top row
    int32_t width = 0;
    int32_t height = 0;
};

// Says that the frame of the next NDIlib_send_send_video_v2 differs from the last frame sent
// only inside the `count` rectangles given; a count of 0 says it does not differ at all. Calls
// before one send add up; what lies outside the frame is ignored; the first frame of a stream
// and a send after no call are compared whole. A change left out is not lost for long: every
// row is also compared whole at least once a second. True when the source took the hint; false
// for a null handle, a negative count or missing rectangles.
bool NDIlib_send_set_changed_rects(NDIlib_send_instance_t p_instance, const NDIlib_changed_rect_t* p_rects,
                                   int32_t count);
