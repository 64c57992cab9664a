// Composite: the only code that writes logo pixels into a frame. Runs once per sent frame on
// the send thread, so it allocates nothing and touches only the visible rectangle.

#include "imagery/rgba_image.h"

#include <algorithm>
#include <cstring>

namespace vantor {
namespace {

// Placement is done in 64 bits: W - w - X cannot overflow for any offset an edit box holds.
struct Placement {
    int64_t px;
    int64_t py;
};

Placement PlaceAtCorner(int32_t corner, int64_t x, int64_t y, int64_t frame_w, int64_t frame_h,
                        int64_t w, int64_t h)
{
    switch (corner) {
    case kCornerUpperRight: return {frame_w - w - x, y};
    case kCornerLowerLeft: return {x, frame_h - h - y};
    case kCornerLowerRight: return {frame_w - w - x, frame_h - h - y};
    case kCornerCentre: return {(frame_w - w) / 2, (frame_h - h) / 2};
    default: return {x, y};  // upper left, and any code the dialog never sets
    }
}

// One axis of the clip: first source index, first frame index, count (<= 0: nothing visible).
struct Span {
    int64_t source_first;
    int64_t frame_first;
    int64_t count;
};

Span ClipAxis(int64_t position, int64_t picture_size, int64_t frame_size)
{
    if (position < 0)
        return {-position, 0, std::min(frame_size, picture_size + position)};
    return {0, position, std::min(picture_size, frame_size - position)};
}

// Picture and frame never overlap; saying so lets the compiler vectorise the row.
void BlendRow(const uint8_t* __restrict src, uint8_t* __restrict dst, size_t row_bytes)
{
    for (size_t j = 0; j < row_bytes; j += 4) {
        const unsigned a = src[j + 3];
        const unsigned inv = 255 - a;
        dst[j + 0] = static_cast<uint8_t>((src[j + 0] * a + dst[j + 0] * inv) / 255);
        dst[j + 1] = static_cast<uint8_t>((src[j + 1] * a + dst[j + 1] * inv) / 255);
        dst[j + 2] = static_cast<uint8_t>((src[j + 2] * a + dst[j + 2] * inv) / 255);
        dst[j + 3] = static_cast<uint8_t>(255 - (inv * (255u - dst[j + 3])) / 255);
    }
}

// The part of the picture that lands inside the frame.
struct ClippedArea {
    Span cols;
    Span rows;
};

std::optional<ClippedArea> Clip(const RgbaImage& image, int32_t x, int32_t y, int32_t corner,
                                int32_t frame_width, int32_t frame_height)
{
    if (!image.IsCompositable() || frame_width <= 0 || frame_height <= 0)
        return std::nullopt;
    const Placement at = PlaceAtCorner(corner, x, y, frame_width, frame_height, image.width, image.height);
    const ClippedArea area{ClipAxis(at.px, image.width, frame_width), ClipAxis(at.py, image.height, frame_height)};
    if (area.cols.count <= 0 || area.rows.count <= 0)
        return std::nullopt;
    return area;
}

}  // namespace

std::optional<PixelRect> RgbaImage::PlacedRect(int32_t x, int32_t y, int32_t corner, int32_t frame_width,
                                               int32_t frame_height) const
{
    const auto area = Clip(*this, x, y, corner, frame_width, frame_height);
    if (!area)
        return std::nullopt;
    // Inside the frame, so every value fits 32 bits.
    return PixelRect{static_cast<int32_t>(area->cols.frame_first), static_cast<int32_t>(area->rows.frame_first),
                     static_cast<int32_t>(area->cols.count), static_cast<int32_t>(area->rows.count)};
}

std::optional<RgbaImage::PlacedRows> RgbaImage::PlaceRows(int32_t x, int32_t y, int32_t corner, uint8_t* frame,
                                                          int32_t frame_width, int32_t frame_height) const
{
    const auto area = Clip(*this, x, y, corner, frame_width, frame_height);
    if (!area || !frame)
        return std::nullopt;
    const size_t frame_stride = static_cast<size_t>(frame_width) * 4;
    const size_t picture_stride = static_cast<size_t>(width) * 4;
    return PlacedRows{pixels.get() + area->rows.source_first * picture_stride + area->cols.source_first * 4,
                      frame + area->rows.frame_first * frame_stride + area->cols.frame_first * 4,
                      picture_stride, frame_stride, static_cast<size_t>(area->cols.count), area->rows.count};
}

void RgbaImage::Composite(int32_t x, int32_t y, int32_t corner, int32_t mode, uint8_t* frame,
                          int32_t frame_width, int32_t frame_height) const
{
    const auto placed = PlaceRows(x, y, corner, frame, frame_width, frame_height);
    if (!placed)
        return;
    const uint8_t* src = placed->src;
    uint8_t* dst = placed->dst;
    const size_t row_bytes = placed->width * 4;
    for (int64_t i = 0; i < placed->rows; ++i, src += placed->src_stride, dst += placed->dst_stride) {
        if (mode == kCompositeCopy)
            std::memcpy(dst, src, row_bytes);
        else
            BlendRow(src, dst, row_bytes);
    }
}

}  // namespace vantor
