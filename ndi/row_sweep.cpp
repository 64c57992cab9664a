#include "ndi/row_sweep.h"

#include <algorithm>

namespace vantor::ndi {

void RowSweep::Restart(int32_t height, int32_t rate_N, int32_t rate_D)
{
    const int64_t frames_per_second = (int64_t{rate_N} + rate_D - 1) / rate_D;
    height_ = height;
    rows_per_frame_ = int32_t(std::max<int64_t>(1, (height + frames_per_second - 1) / frames_per_second));
    top_ = 0;
}

RowBand RowSweep::Next()
{
    const RowBand band{top_, std::min(top_ + rows_per_frame_, height_)};
    top_ = band.end < height_ ? band.end : 0;
    return band;
}

}  // namespace vantor::ndi
