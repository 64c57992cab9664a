#include "engine/frame_painter.h"

#include "engine/logo_blend.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace vantor {

void FramePainter::ClearAll()
{
    frame_.Clear();
    drawn_count_ = 0;
    waiting_count_ = 0;
    overflowed_ = false;
    changes_.MarkAll();
}

void FramePainter::ClearDrawn()
{
    if (overflowed_)
        return ClearAll();
    FinishClears();
    waiting_clears_ = drawn_;
    waiting_count_ = std::exchange(drawn_count_, 0);
}

void FramePainter::Overwriting(const PixelRect& rect)
{
    const auto end = waiting_clears_.begin() + waiting_count_;
    const auto same = std::find(waiting_clears_.begin(), end, rect);
    if (same != end) {
        std::rotate(same, same + 1, end);
        --waiting_count_;
    }
    FinishClears();
}

void FramePainter::FinishClears()
{
    for (size_t i = 0; i < waiting_count_; ++i)
        ClearRect(waiting_clears_[i]);
    waiting_count_ = 0;
}

void FramePainter::Draw(const RgbaImage& image, int32_t x, int32_t y, int32_t corner, int32_t mode)
{
    const auto rect = image.PlacedRect(x, y, corner, frame_.width(), frame_.height());
    if (!rect || !frame_.Allocated())
        return;
    if (mode == kCompositeCopy)
        Overwriting(*rect);
    else
        FinishClears();
    image.Composite(x, y, corner, mode, frame_.pixels(), frame_.width(), frame_.height());
    Remember(*rect);
}

void FramePainter::DrawWeighted(const RgbaImage& image, int32_t x, int32_t y, int32_t corner, uint8_t weight,
                                bool mix)
{
    const auto rect = image.PlacedRect(x, y, corner, frame_.width(), frame_.height());
    const auto rows = image.PlaceRows(x, y, corner, frame_.pixels(), frame_.width(), frame_.height());
    if (!rect || !rows)
        return;
    if (mix)
        FinishClears();
    else
        Overwriting(*rect);
    const uint8_t* src = rows->src;
    uint8_t* dst = rows->dst;
    for (int64_t i = 0; i < rows->rows; ++i, src += rows->src_stride, dst += rows->dst_stride) {
        if (mix)
            MixRowWeighted(src, dst, rows->width, weight);
        else
            CopyRowWeighted(src, dst, rows->width, weight);
    }
    Remember(*rect);
}

void FramePainter::DrawCrossFade(const RgbaImage& leaving, const RgbaImage& shown, int32_t x, int32_t y,
                                 int32_t corner, uint8_t leaving_weight, uint8_t shown_weight)
{
    const auto rect = shown.PlacedRect(x, y, corner, frame_.width(), frame_.height());
    if (!rect || rect != leaving.PlacedRect(x, y, corner, frame_.width(), frame_.height())) {
        DrawWeighted(leaving, x, y, corner, leaving_weight, false);
        DrawWeighted(shown, x, y, corner, shown_weight, true);
        return;
    }
    const auto rows = shown.PlaceRows(x, y, corner, frame_.pixels(), frame_.width(), frame_.height());
    const auto leaving_rows = leaving.PlaceRows(x, y, corner, frame_.pixels(), frame_.width(), frame_.height());
    if (!rows || !leaving_rows)
        return;
    Overwriting(*rect);
    const uint8_t* from = leaving_rows->src;
    const uint8_t* to = rows->src;
    uint8_t* dst = rows->dst;
    for (int64_t i = 0; i < rows->rows;
         ++i, from += leaving_rows->src_stride, to += rows->src_stride, dst += rows->dst_stride)
        CrossFadeRow(from, to, dst, rows->width, leaving_weight, shown_weight);
    Remember(*rect);
}

void FramePainter::Remember(const PixelRect& rect)
{
    changes_.Add(rect);
    if (drawn_count_ < drawn_.size())
        drawn_[drawn_count_++] = rect;
    else
        overflowed_ = true;
}

FrameChanges FramePainter::TakeChanges()
{
    FinishClears();
    return std::exchange(changes_, FrameChanges::None());
}

void FramePainter::ClearRect(const PixelRect& rect)
{
    changes_.Add(rect);
    const size_t stride = size_t(frame_.width()) * 4;
    uint8_t* row = frame_.pixels() + size_t(rect.top) * stride + size_t(rect.left) * 4;
    for (int32_t y = 0; y < rect.height; ++y, row += stride)
        std::memset(row, 0, size_t(rect.width) * 4);
}

}  // namespace vantor
