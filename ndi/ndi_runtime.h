#pragma once
// The NDI runtime as the program uses it: the seven operations and the records they take, under
// their usual names. Where an operator has installed the vendor's runtime, NDIlib_initialize
// loads it and every operation goes to it for the whole run (runtime_choice.h says where it is
// looked for); everywhere else the built-in runtime runs. A built-in source is a TCP listener
// (first free port from 5960 to 5999) that streams live Matroska to every receiver that
// connects; any FFmpeg-based player can watch it:
//     ffplay tcp://127.0.0.1:5960
// No Qt and no FFmpeg here: this library depends on the system's loader and the C++ standard
// library only, so a copy loads none of FFmpeg's libraries to send.

#include <cstdint>
#include <limits>

#define NDI_LIB_FOURCC(ch0, ch1, ch2, ch3)                                               \
    (static_cast<uint32_t>(static_cast<uint8_t>(ch0)) |                                   \
     (static_cast<uint32_t>(static_cast<uint8_t>(ch1)) << 8) |                            \
     (static_cast<uint32_t>(static_cast<uint8_t>(ch2)) << 16) |                           \
     (static_cast<uint32_t>(static_cast<uint8_t>(ch3)) << 24))

enum NDIlib_FourCC_video_type_e : uint32_t {
    NDIlib_FourCC_type_BGRA = NDI_LIB_FOURCC('B', 'G', 'R', 'A'),  // 0x41524742
    NDIlib_FourCC_type_RGBA = NDI_LIB_FOURCC('R', 'G', 'B', 'A'),
};

enum NDIlib_frame_format_type_e : int32_t {
    NDIlib_frame_format_type_progressive = 1,
};

// Asks the runtime to make the timecode itself.
inline constexpr int64_t NDIlib_send_timecode_synthesize = std::numeric_limits<int64_t>::max();

struct NDIlib_video_frame_v2_t {
    int32_t xres = 0;
    int32_t yres = 0;
    NDIlib_FourCC_video_type_e FourCC = NDIlib_FourCC_type_BGRA;
    int32_t frame_rate_N = 30000;
    int32_t frame_rate_D = 1001;
    float picture_aspect_ratio = 16.0f / 9.0f;
    NDIlib_frame_format_type_e frame_format_type = NDIlib_frame_format_type_progressive;
    int64_t timecode = NDIlib_send_timecode_synthesize;
    uint8_t* p_data = nullptr;
    int32_t line_stride_in_bytes = 0;
    const char* p_metadata = nullptr;
    int64_t timestamp = 0;
};

struct NDIlib_send_create_t {
    const char* p_ndi_name = nullptr;  // the source name
    const char* p_groups = nullptr;    // null: the default groups
    bool clock_video = true;           // send_video returns at the frame rate
    bool clock_audio = false;
};

struct NDIlib_metadata_frame_t {
    int32_t length = 0;  // bytes of p_data, the terminating zero not counted
    int64_t timecode = NDIlib_send_timecode_synthesize;
    char* p_data = nullptr;
};

struct NDIlib_send_instance_type;
using NDIlib_send_instance_t = NDIlib_send_instance_type*;

// Chooses the runtime and starts it; true when it can run. False leaves nothing behind.
bool NDIlib_initialize();
// Releases everything the runtime holds; no call follows.
void NDIlib_destroy();
// A version text whose part after the last blank is the version number.
const char* NDIlib_version();

// A new source under the given name, or null.
NDIlib_send_instance_t NDIlib_send_create(const NDIlib_send_create_t* p_create_settings);
// Closes the listener and every connection: the source leaves the network at once.
void NDIlib_send_destroy(NDIlib_send_instance_t p_instance);
// Offered to every receiver that connects, as a tag of the stream.
void NDIlib_send_add_connection_metadata(NDIlib_send_instance_t p_instance,
                                         const NDIlib_metadata_frame_t* p_metadata);
// Takes the frame before it returns (the buffer may be overwritten at once), never waits on a
// receiver, and with clock_video returns at the frame rate's absolute deadlines.
void NDIlib_send_send_video_v2(NDIlib_send_instance_t p_instance,
                               const NDIlib_video_frame_v2_t* p_video_data);
