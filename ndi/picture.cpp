#include "ndi/picture.h"

#include <algorithm>

namespace vantor::ndi {

void Picture::Reset(int32_t width, int32_t height)
{
    const size_t count = size_t(width) * size_t(height);
    if (count != size_t(width_) * size_t(height_) || !pixels_)
        pixels_ = std::make_unique<uint32_t[]>(count);  // value-initialised: all zero
    else
        std::fill_n(pixels_.get(), count, 0u);
    width_ = width;
    height_ = height;
}

}  // namespace vantor::ndi
