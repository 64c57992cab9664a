#pragma once
// Rows compared whole whatever the caller's hint says: a band of them with every frame, moving
// down the picture, so that every row is compared at least once a second and a hint that left
// out a change is repaired within that time. Spread out so, the check costs every frame the
// same small amount instead of one full comparison a second.

#include <cstdint>

namespace vantor::ndi {

struct RowBand {
    int32_t top = 0;
    int32_t end = 0;  // one past the last row
    bool Contains(int32_t y) const { return y >= top && y < end; }
};

class RowSweep {
public:
    // Starts again at the top, for a picture of `height` rows sent at rate_N / rate_D frames a
    // second (both positive).
    void Restart(int32_t height, int32_t rate_N, int32_t rate_D);
    // The band of the next frame.
    RowBand Next();

private:
    int32_t height_ = 0;
    int32_t rows_per_frame_ = 0;
    int32_t top_ = 0;
};

}  // namespace vantor::ndi
