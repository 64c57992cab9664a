#pragma once
// What has been painted into the output frame since it was last sent: some rectangles, or all
// of it. The sender passes it on, so the runtime compares and encodes only there.

#include "imagery/rgba_image.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>

namespace vantor {

class FrameChanges {
public:
    // More rectangles than this between two sends count as a change of all of it.
    static constexpr size_t kMaxRects = 8;

    // Nothing is known of a new frame: all of it counts as changed.
    static FrameChanges All() { return FrameChanges(true); }
    static FrameChanges None() { return FrameChanges(false); }

    void MarkAll()
    {
        all_ = true;
        count_ = 0;
    }
    void Add(const PixelRect& rect)
    {
        if (all_ || std::find(rects_.begin(), rects_.begin() + count_, rect) != rects_.begin() + count_)
            return;
        if (count_ == rects_.size())
            return MarkAll();
        rects_[count_++] = rect;
    }

    bool all() const { return all_; }
    // Empty when nothing changed; meaningless when all() is true.
    std::span<const PixelRect> rects() const { return std::span(rects_).first(count_); }

private:
    explicit FrameChanges(bool all) : all_(all) {}

    std::array<PixelRect, kMaxRects> rects_{};
    size_t count_ = 0;
    bool all_;
};

}  // namespace vantor
