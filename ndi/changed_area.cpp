#include "ndi/changed_area.h"

#include <algorithm>

namespace vantor::ndi {

void ChangedArea::Add(std::span<const NDIlib_changed_rect_t> rects)
{
    hinted_ = true;
    for (const NDIlib_changed_rect_t& rect : rects) {
        if (rect.width <= 0 || rect.height <= 0)
            continue;  // covers nothing
        if (count_ == rects_.size()) {
            overflowed_ = true;
            return;
        }
        rects_[count_++] = rect;
    }
}

void ChangedArea::Forget()
{
    count_ = 0;
    hinted_ = overflowed_ = false;
}

RowBand ChangedArea::Rows(int32_t height) const
{
    if (!limited())
        return {0, height};
    int64_t top = height, end = 0;
    for (size_t i = 0; i < count_; ++i) {
        top = std::min<int64_t>(top, rects_[i].y);
        end = std::max<int64_t>(end, int64_t{rects_[i].y} + rects_[i].height);
    }
    top = std::max<int64_t>(top, 0);
    end = std::min<int64_t>(end, height);
    return top < end ? RowBand{int32_t(top), int32_t(end)} : RowBand{};
}

std::span<const PixelSpan> ChangedArea::RowSpans(int32_t y, int32_t width, Spans& spans) const
{
    if (!limited()) {
        spans[0] = {0, width};
        return std::span(spans).first(1);
    }
    // The rectangles' values are the caller's: clipped in 64 bits so no sum overflows.
    size_t count = 0;
    for (size_t i = 0; i < count_; ++i) {
        const NDIlib_changed_rect_t& r = rects_[i];
        if (y < r.y || int64_t{y} >= int64_t{r.y} + r.height)
            continue;
        const int64_t first = std::max<int64_t>(r.x, 0);
        const int64_t end = std::min<int64_t>(int64_t{r.x} + r.width, width);
        if (first < end)
            spans[count++] = {int32_t(first), int32_t(end)};
    }
    std::sort(spans.begin(), spans.begin() + std::ptrdiff_t(count),
              [](const PixelSpan& a, const PixelSpan& b) { return a.first < b.first; });
    size_t merged = 0;
    for (size_t i = 0; i < count; ++i) {
        if (merged > 0 && spans[i].first <= spans[merged - 1].end)
            spans[merged - 1].end = std::max(spans[merged - 1].end, spans[i].end);
        else
            spans[merged++] = spans[i];
    }
    return std::span(spans).first(merged);
}

}  // namespace vantor::ndi
