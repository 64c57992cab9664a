#pragma once
// Draws pictures into the output frame and remembers where, so that the next clear touches only
// what was drawn: at 4096 x 2160 a full clear is 35 MB a frame, a logo's rectangle a few
// hundred kB. After ClearDrawn, and the draws that follow, the frame is what a full clear and
// the same draws would make, as long as every write into the frame goes through here. For the
// same reason it knows what it changed since the frame was last sent: what it cleared and what
// it drew.

#include "engine/frame_changes.h"
#include "engine/output_frame.h"
#include "imagery/rgba_image.h"

#include <array>

namespace vantor {

class FramePainter {
public:
    explicit FramePainter(OutputFrame& frame) : frame_(frame) {}

    // Zeroes the whole format's part of the buffer.
    void ClearAll();
    // Zeroes what was drawn since the last clear. The zeroing waits for the next draw or the
    // send: a draw that overwrites exactly the same pixels makes it needless (a full-frame
    // logo's is 35 MB a frame at 4096 x 2160).
    void ClearDrawn();
    void Draw(const RgbaImage& image, int32_t x, int32_t y, int32_t corner, int32_t mode);
    // The picture with its alpha scaled by `weight` (of 255): copied over what is there, or
    // mixed into it (the second logo of a cross-fade).
    void DrawWeighted(const RgbaImage& image, int32_t x, int32_t y, int32_t corner, uint8_t weight, bool mix);
    // A cross-fade: the leaving picture weighted, the shown one mixed into it at its own weight.
    // Two pictures over the same pixels (a logo replacing one of its size) take one pass.
    void DrawCrossFade(const RgbaImage& leaving, const RgbaImage& shown, int32_t x, int32_t y, int32_t corner,
                       uint8_t leaving_weight, uint8_t shown_weight);
    int32_t width() const { return frame_.width(); }
    int32_t height() const { return frame_.height(); }
    // What changed since the last call (all of it before the first), for the frame's send;
    // the frame is complete once it is called.
    FrameChanges TakeChanges();

private:
    void ClearRect(const PixelRect& rect);
    // Before a draw into `rect` that writes each of its pixels: a waiting clear of exactly
    // that rectangle is dropped, and the others are done first.
    void Overwriting(const PixelRect& rect);
    // Before a draw that reads what is under it.
    void FinishClears();
    void Remember(const PixelRect& rect);

    OutputFrame& frame_;
    std::array<PixelRect, 4> drawn_{};
    size_t drawn_count_ = 0;
    std::array<PixelRect, 4> waiting_clears_{};
    size_t waiting_count_ = 0;
    bool overflowed_ = false;  // more rectangles than remembered: the next clear is full
    FrameChanges changes_ = FrameChanges::All();
};

}  // namespace vantor
