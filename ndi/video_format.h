#pragma once
// The format of a stream: picture size, exact frame rate and display aspect. A change of any of
// them between two frames starts the stream afresh for every receiver.

#include "ndi/ndi_runtime.h"

#include <cstdint>
#include <optional>

namespace vantor::ndi {

// QuickTime Animation numbers lines with 16 bits; well above the largest output format.
inline constexpr int32_t kMaxFrameDimension = 16384;

struct VideoFormat {
    int32_t width = 0;
    int32_t height = 0;
    int32_t rate_N = 0;  // frames per second = rate_N / rate_D
    int32_t rate_D = 0;
    int32_t aspect_num = 16;  // display aspect of the whole picture
    int32_t aspect_den = 9;

    bool operator==(const VideoFormat&) const = default;
};

// The frame's format when the frame can be sent: BGRA pixels present, a positive size within
// the limit, rows at least a row's bytes apart, a positive rate. Anything else: no format, and
// the frame is not sent.
std::optional<VideoFormat> SendableFormat(const NDIlib_video_frame_v2_t& frame);

}  // namespace vantor::ndi
