#pragma once
// A small picture of the output frame, for a look at it from afar (the control API, its web
// page): at most 640 pixels wide, the frame's own proportions, each pixel taken from the frame
// as it is, alpha included. Taking it reads only the sampled pixels and allocates nothing, so
// the send thread can take it between two frames.

#include "ndi/ndi_runtime.h"

#include <QImage>

#include <cstdint>
#include <memory>

namespace vantor {

class OutputSnapshot {
public:
    static constexpr int32_t kMaxWidth = 640;
    static constexpr int32_t kMaxHeight = 512;  // 720 x 576 at 640 wide

    // Makes room once; false when there is no memory for it.
    bool Allocate();
    // Samples the frame (nearest pixel) into the picture.
    void Take(const NDIlib_video_frame_v2_t& frame);
    // A copy of the latest picture, blue, green, red, alpha; null before the first.
    QImage Picture() const;

private:
    std::unique_ptr<uint8_t[]> pixels_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

}  // namespace vantor
