#include "preview/preview_buffer.h"

#include <cstring>
#include <new>

namespace vantor {
namespace {

// Every other pixel of a row, as whole 4-byte pixels.
void HalveRow(const uint8_t* __restrict in, uint8_t* __restrict out, int32_t width)
{
    for (int32_t x = 0; x < width; ++x) {
        uint32_t pixel;
        std::memcpy(&pixel, in + size_t(x) * 8, 4);
        std::memcpy(out + size_t(x) * 4, &pixel, 4);
    }
}

}  // namespace

bool PreviewBuffer::PreparePreview()
{
    for (Slot& slot : slots_) {
        slot.pixels.reset(new (std::nothrow) uint8_t[kSlotBytes]);
        if (!slot.pixels) {
            Release();
            return false;
        }
    }
    return prepared_ = true;
}

void PreviewBuffer::Release()
{
    for (Slot& slot : slots_)
        slot.pixels.reset();
    prepared_ = false;
    has_shown_ = false;
    ready_.fetch_and(~kNewBit);
}

void PreviewBuffer::ConvertFrame(const uint8_t* p_data, int32_t xres, int32_t yres,
                                 int32_t line_stride_in_bytes, uint32_t /*four_cc*/,
                                 float /*picture_aspect_ratio*/)
{
    // Every picture converted is 32-bit and 16:9, so the pixel format and ratio change nothing.
    if (!prepared_ || !p_data || xres <= 0)
        return;
    const int step = xres > kFullSizeMaxWidth ? 2 : 1;
    const int32_t width = xres / step;
    const int32_t height = yres > 0 ? yres / step : 0;
    if (size_t(width) * size_t(height) * 4 > kSlotBytes)
        return;  // larger than any frame the system makes: refuse rather than overrun
    if (height > 0 && int64_t{line_stride_in_bytes} < int64_t{xres} * 4)
        return;  // rows would overlap: not a frame

    Slot& slot = slots_[back_];
    slot.header.width = width;
    slot.header.height = -height;
    slot.header.bits_per_pixel = 32;
    uint8_t* out = slot.pixels.get();
    for (int32_t row = 0; row < height; ++row) {
        const uint8_t* in = p_data + size_t(row) * step * size_t(line_stride_in_bytes);
        if (step == 1) {
            std::memcpy(out, in, size_t(width) * 4);
            out += size_t(width) * 4;
            continue;
        }
        HalveRow(in, out, width);
        out += size_t(width) * 4;
    }
}

void PreviewBuffer::HandOver()
{
    if (!prepared_)
        return;
    back_ = ready_.exchange(back_ | kNewBit, std::memory_order_acq_rel) & ~kNewBit;
}

PreviewPicture PreviewBuffer::TakeLatest()
{
    if (!prepared_)
        return {};
    if (ready_.load(std::memory_order_acquire) & kNewBit) {
        front_ = ready_.exchange(front_, std::memory_order_acq_rel) & ~kNewBit;
        has_shown_ = true;
    }
    if (!has_shown_)
        return {};
    return {slots_[front_].pixels.get(), slots_[front_].header};
}

}  // namespace vantor
