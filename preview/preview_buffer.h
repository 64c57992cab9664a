#pragma once
// Frame-to-preview conversion: reduces an output frame (or a logo canvas) to a compact top-down
// picture for the preview box. The send thread converts while the user-interface thread
// paints, so whole pictures are handed over between three slots: the converter writes the back
// slot, the hand-over swaps it with the ready slot, and the painter takes the ready slot as its
// front. No picture is ever painted while it is being written, and nothing allocates per frame.

#include <atomic>
#include <cstdint>
#include <memory>

namespace vantor {

// The description that goes with a converted picture; height is stored negative (rows run from
// the top row down), as a top-down device-independent bitmap header has it.
struct PictureHeader {
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bits_per_pixel = 32;
    uint32_t compression = 0;  // none: plain RGB
};

// What the box paints: the pixels (blue, green, red, alpha; alpha not shown) and their header.
struct PreviewPicture {
    const uint8_t* pixels = nullptr;
    PictureHeader header;
};

class PreviewBuffer {
public:
    // Frames wider than this are halved by skipping every other row and pixel.
    static constexpr int32_t kFullSizeMaxWidth = 640;
    // The largest converted picture: a halved 4096 x 2304 picture, the Overlay setup preview's
    // canvas for a 4096 x 2160 logo (a halved 4096 x 2160 frame is smaller). Larger pictures
    // are refused.
    static constexpr size_t kSlotBytes = size_t{2048} * 1152 * 4;

    // Allocates the slots once; false (and every later conversion does nothing) when memory is
    // short.
    bool PreparePreview();
    // Frees the slots: nothing is converted or painted until the next PreparePreview. Only
    // while no other thread converts.
    void Release();

    // Converts one 32-bit frame into the back slot. Any thread; one converting thread at a time.
    void ConvertFrame(const uint8_t* p_data, int32_t xres, int32_t yres, int32_t line_stride_in_bytes,
                      uint32_t four_cc, float picture_aspect_ratio);

    // Publishes the last converted picture to the painter. Called by the converting thread right
    // after ConvertFrame.
    void HandOver();

    // The picture to paint: the newest handed-over one, or the one painted before when nothing
    // new came. Pixels null until the first hand-over. User-interface thread only.
    PreviewPicture TakeLatest();

private:
    struct Slot {
        std::unique_ptr<uint8_t[]> pixels;
        PictureHeader header;
    };
    static constexpr int kNewBit = 4;  // set in ready_ when it holds a picture not yet taken

    Slot slots_[3];
    int back_ = 0;                  // written by the converting thread only
    std::atomic<int> ready_{1};     // slot index, plus kNewBit; exchanged by both threads
    int front_ = 2;                 // user-interface thread only
    bool has_shown_ = false;        // user-interface thread only
    bool prepared_ = false;         // written once before any conversion
};

}  // namespace vantor
