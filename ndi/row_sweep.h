#pragma once
// Rows compared whole whatever the caller's hint says: a band of them with every frame slot,
// moving down the picture and round again, so that every row is compared at least once a
// second and a hint that left out a change is repaired within that time. Spread out so, the
// check costs every frame the same small amount instead of one full comparison a second. Slots
// that pass without a frame (a late machine) hand their bands on to the next frame, so the
// second holds in time, not only in frames.

#include <cstdint>

namespace vantor::ndi {

// Rows [top, end); one that runs past the bottom goes on from the top (end < top).
struct RowBand {
    int32_t top = 0;
    int32_t end = 0;  // one past the last row
    bool Contains(int32_t y) const { return top <= end ? y >= top && y < end : y >= top || y < end; }
};

class RowSweep {
public:
    // Starts again at the top, for a picture of `height` rows sent at rate_N / rate_D frames a
    // second (both positive).
    void Restart(int32_t height, int32_t rate_N, int32_t rate_D);
    // The rows of the frame in `slot`: its band and those of the slots passed since the last.
    RowBand Next(int64_t slot);

private:
    int32_t height_ = 0;
    int32_t rows_per_frame_ = 0;
    int32_t top_ = 0;
    int64_t next_slot_ = 0;
};

}  // namespace vantor::ndi
