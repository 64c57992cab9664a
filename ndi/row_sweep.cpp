#include "ndi/row_sweep.h"

#include <algorithm>

namespace vantor::ndi {

// Whole frames within a second, rounded down (29 at 29.97p): the sweep goes round in at most
// that many slots.
void RowSweep::Restart(int32_t height, int32_t rate_N, int32_t rate_D)
{
    const int64_t frames_per_second = std::max<int64_t>(1, rate_N / rate_D);
    height_ = height;
    rows_per_frame_ = int32_t(std::max<int64_t>(1, (height + frames_per_second - 1) / frames_per_second));
    top_ = 0;
    next_slot_ = 0;
}

RowBand RowSweep::Next(int64_t slot)
{
    const int64_t slots = std::max<int64_t>(1, slot - next_slot_ + 1);
    next_slot_ = slot + 1;
    const int64_t rows = std::min<int64_t>(slots, height_) * rows_per_frame_;
    if (rows >= height_)
        return {0, height_};
    const RowBand band{top_, int32_t((top_ + rows) % height_)};
    top_ = band.end;
    return band;
}

}  // namespace vantor::ndi
