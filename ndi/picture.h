#pragma once
// One picture of BGRA pixels, rows without gaps, top row first: the sender's copy of the last
// frame it took, and the network side's copy of what receivers show.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vantor::ndi {

class Picture {
public:
    // All pixels transparent black. Allocates; called only when the stream starts afresh.
    void Reset(int32_t width, int32_t height);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    uint32_t* Row(int32_t y) { return pixels_.get() + size_t(y) * size_t(width_); }
    const uint32_t* Row(int32_t y) const { return pixels_.get() + size_t(y) * size_t(width_); }

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::unique_ptr<uint32_t[]> pixels_;
};

}  // namespace vantor::ndi
