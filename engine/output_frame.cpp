#include "engine/output_frame.h"

#include <cstring>
#include <new>

namespace vantor {

bool OutputFrame::Allocate()
{
    buffer_.reset(new (std::nothrow) uint8_t[kBufferBytes]());
    record_.p_data = buffer_.get();
    return buffer_ != nullptr;
}

void OutputFrame::Release()
{
    buffer_.reset();
    record_ = NDIlib_video_frame_v2_t{};
}

void OutputFrame::Describe(const OutputFormat& format)
{
    record_.xres = format.width;
    record_.yres = format.height;
    record_.FourCC = NDIlib_FourCC_type_BGRA;
    record_.frame_rate_N = format.frame_rate_N;
    record_.frame_rate_D = format.frame_rate_D;
    record_.picture_aspect_ratio = 16.0f / 9.0f;
    record_.frame_format_type = NDIlib_frame_format_type_progressive;
    record_.timecode = NDIlib_send_timecode_synthesize;
    record_.p_data = buffer_.get();
    record_.line_stride_in_bytes = format.width * 4;
    record_.p_metadata = nullptr;
    record_.timestamp = 0;
}

void OutputFrame::Clear()
{
    if (buffer_)
        std::memset(buffer_.get(), 0, used_bytes());
}

}  // namespace vantor
