#include "ndi/video_format.h"

extern "C" {
#include <libavutil/rational.h>
}

namespace vantor::ndi {
namespace {

// The display aspect the frame asks for; zero or less means square pixels, as in NDI.
AVRational DisplayAspect(const NDIlib_video_frame_v2_t& frame)
{
    if (frame.picture_aspect_ratio > 0.0f && frame.picture_aspect_ratio < 100.0f)
        return av_d2q(frame.picture_aspect_ratio, 1000);
    AVRational square{};
    av_reduce(&square.num, &square.den, frame.xres, frame.yres, kMaxFrameDimension);
    return square;
}

}  // namespace

std::optional<VideoFormat> SendableFormat(const NDIlib_video_frame_v2_t& frame)
{
    if (frame.FourCC != NDIlib_FourCC_type_BGRA || frame.p_data == nullptr)
        return std::nullopt;
    if (frame.xres <= 0 || frame.yres <= 0 || frame.xres > kMaxFrameDimension ||
        frame.yres > kMaxFrameDimension)
        return std::nullopt;
    if (frame.line_stride_in_bytes < frame.xres * 4)
        return std::nullopt;
    if (frame.frame_rate_N <= 0 || frame.frame_rate_D <= 0)
        return std::nullopt;
    const AVRational aspect = DisplayAspect(frame);
    return VideoFormat{frame.xres, frame.yres, frame.frame_rate_N, frame.frame_rate_D, aspect.num,
                       aspect.den};
}

}  // namespace vantor::ndi
