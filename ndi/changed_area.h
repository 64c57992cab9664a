#pragma once
// Where the caller says the next frame may differ from the last one taken: anywhere until it
// says something, then only inside the rectangles it gave, until the frame has been taken.

#include "ndi/row_sweep.h"
#include "ndi/source_changes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vantor::ndi {

// Columns [first, end) of one row.
struct PixelSpan {
    int32_t first = 0;
    int32_t end = 0;
    bool operator==(const PixelSpan&) const = default;
};

class ChangedArea {
public:
    // More rectangles than this before one frame: the frame may differ anywhere.
    static constexpr size_t kMaxRects = 16;
    using Spans = std::array<PixelSpan, kMaxRects>;

    // Limits the area to these rectangles, together with any given since the last Forget.
    void Add(std::span<const NDIlib_changed_rect_t> rects);
    // Anywhere again: called once a frame has been taken.
    void Forget();
    // False when the frame may differ anywhere.
    bool limited() const { return hinted_ && !overflowed_; }

    // The rows of a frame `height` rows high where the frame may differ, from the first to the
    // last: outside them no row needs a look.
    RowBand Rows(int32_t height) const;
    // The columns of row y, in a frame `width` pixels wide, where the frame may differ: in
    // rising order, apart from each other, stored in `spans`.
    std::span<const PixelSpan> RowSpans(int32_t y, int32_t width, Spans& spans) const;

private:
    std::array<NDIlib_changed_rect_t, kMaxRects> rects_{};
    size_t count_ = 0;
    bool hinted_ = false;
    bool overflowed_ = false;
};

}  // namespace vantor::ndi
