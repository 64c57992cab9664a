#pragma once
// The output frame: one frame record over one pixel buffer sized for the largest format,
// allocated once and zero-filled; a format uses its first width x height x 4 bytes.

#include "engine/output_format.h"
#include "ndi/ndi_runtime.h"

#include <cstdint>
#include <memory>

namespace vantor {

class OutputFrame {
public:
    static constexpr size_t kBufferBytes = size_t{4096} * 2160 * 4;  // 35,389,440

    // False when the buffer cannot be had.
    bool Allocate();
    void Release();
    bool Allocated() const { return buffer_ != nullptr; }

    // Sets every field of the record for the format: BGRA, 16:9 whatever the size,
    // progressive, synthesized timecode, rows without gaps.
    void Describe(const OutputFormat& format);
    // Zeroes the format's part of the buffer: transparent black.
    void Clear();

    const NDIlib_video_frame_v2_t& record() const { return record_; }
    uint8_t* pixels() { return buffer_.get(); }
    int32_t width() const { return record_.xres; }
    int32_t height() const { return record_.yres; }
    size_t used_bytes() const { return size_t(record_.xres) * size_t(record_.yres) * 4; }

private:
    NDIlib_video_frame_v2_t record_;
    std::unique_ptr<uint8_t[]> buffer_;
};

}  // namespace vantor
