#include "engine/output_snapshot.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace vantor {

bool OutputSnapshot::Allocate()
{
    if (!pixels_)
        pixels_.reset(new (std::nothrow) uint8_t[size_t(kMaxWidth) * kMaxHeight * 4]);
    return pixels_ != nullptr;
}

void OutputSnapshot::Take(const NDIlib_video_frame_v2_t& frame)
{
    if (!pixels_ || !frame.p_data || frame.xres <= 0 || frame.yres <= 0)
        return;
    const int32_t width = std::min(frame.xres, kMaxWidth);
    const int32_t height = std::clamp(int32_t(int64_t(frame.yres) * width / frame.xres), 1, kMaxHeight);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = frame.p_data + int64_t(y) * frame.yres / height * frame.line_stride_in_bytes;
        uint8_t* out = pixels_.get() + size_t(y) * width * 4;
        for (int32_t x = 0; x < width; ++x)
            std::memcpy(out + x * 4, row + int64_t(x) * frame.xres / width * 4, 4);
    }
    width_ = width;
    height_ = height;
}

QImage OutputSnapshot::Picture() const
{
    if (width_ == 0)
        return {};
    return QImage(pixels_.get(), width_, height_, width_ * 4, QImage::Format_ARGB32).copy();
}

}  // namespace vantor
