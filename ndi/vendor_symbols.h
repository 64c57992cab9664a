#pragma once
// Our declarations of the vendor's runtime as its shared library exports it: the seven operations
// as plain C symbols under their usual names, taking the same records as ours. The records are
// shared as they are, so their layout must be the one C gives them on x86-64; the asserts below
// hold it to that.

#include "ndi/ndi_runtime.h"

#include <cstddef>

extern "C" {
using NDIlib_initialize_fn = bool();
using NDIlib_destroy_fn = void();
using NDIlib_version_fn = const char*();
using NDIlib_send_create_fn = NDIlib_send_instance_t(const NDIlib_send_create_t*);
using NDIlib_send_destroy_fn = void(NDIlib_send_instance_t);
using NDIlib_send_add_connection_metadata_fn = void(NDIlib_send_instance_t, const NDIlib_metadata_frame_t*);
using NDIlib_send_send_video_v2_fn = void(NDIlib_send_instance_t, const NDIlib_video_frame_v2_t*);
}

namespace vantor::ndi {

struct VendorSymbols {
    NDIlib_initialize_fn* initialize = nullptr;
    NDIlib_destroy_fn* destroy = nullptr;
    NDIlib_version_fn* version = nullptr;
    NDIlib_send_create_fn* send_create = nullptr;
    NDIlib_send_destroy_fn* send_destroy = nullptr;
    NDIlib_send_add_connection_metadata_fn* send_add_connection_metadata = nullptr;
    NDIlib_send_send_video_v2_fn* send_send_video_v2 = nullptr;
};

static_assert(sizeof(bool) == 1 && sizeof(NDIlib_FourCC_video_type_e) == 4 &&
              sizeof(NDIlib_frame_format_type_e) == 4);

static_assert(sizeof(NDIlib_send_create_t) == 24);
static_assert(offsetof(NDIlib_send_create_t, p_ndi_name) == 0);
static_assert(offsetof(NDIlib_send_create_t, p_groups) == 8);
static_assert(offsetof(NDIlib_send_create_t, clock_video) == 16);
static_assert(offsetof(NDIlib_send_create_t, clock_audio) == 17);

static_assert(sizeof(NDIlib_metadata_frame_t) == 24);
static_assert(offsetof(NDIlib_metadata_frame_t, length) == 0);
static_assert(offsetof(NDIlib_metadata_frame_t, timecode) == 8);
static_assert(offsetof(NDIlib_metadata_frame_t, p_data) == 16);

static_assert(sizeof(NDIlib_video_frame_v2_t) == 72);
static_assert(offsetof(NDIlib_video_frame_v2_t, xres) == 0);
static_assert(offsetof(NDIlib_video_frame_v2_t, yres) == 4);
static_assert(offsetof(NDIlib_video_frame_v2_t, FourCC) == 8);
static_assert(offsetof(NDIlib_video_frame_v2_t, frame_rate_N) == 12);
static_assert(offsetof(NDIlib_video_frame_v2_t, frame_rate_D) == 16);
static_assert(offsetof(NDIlib_video_frame_v2_t, picture_aspect_ratio) == 20);
static_assert(offsetof(NDIlib_video_frame_v2_t, frame_format_type) == 24);
static_assert(offsetof(NDIlib_video_frame_v2_t, timecode) == 32);
static_assert(offsetof(NDIlib_video_frame_v2_t, p_data) == 40);
static_assert(offsetof(NDIlib_video_frame_v2_t, line_stride_in_bytes) == 48);
static_assert(offsetof(NDIlib_video_frame_v2_t, p_metadata) == 56);
static_assert(offsetof(NDIlib_video_frame_v2_t, timestamp) == 64);

}  // namespace vantor::ndi
