#include "imagery/thumbnail.h"

namespace vantor {
namespace {

// Halves rounded down, also for a picture that overhangs the control.
int32_t FloorHalf(int32_t v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); }

}  // namespace

std::optional<ThumbnailRect> PlaceThumbnail(int32_t picture_width, int32_t picture_height,
                                            int32_t control_width, int32_t control_height)
{
    if (picture_height <= 0 || picture_width <= 0)
        return std::nullopt;
    // The ratio is single precision and compared with 16/9 as a double: 1920 x 1080 gives
    // 1.7777778f, just above 16/9, so it fills the width.
    const float aspect = static_cast<float>(picture_width) / static_cast<float>(picture_height);
    int32_t w;
    int32_t h;
    if (static_cast<double>(aspect) >= 16.0 / 9.0) {
        w = control_width;
        h = static_cast<int32_t>(static_cast<float>(control_width) / aspect);
    } else {
        h = control_height;
        w = static_cast<int32_t>(static_cast<float>(control_height) * aspect);
    }
    return ThumbnailRect{FloorHalf(control_width - w), FloorHalf(control_height - h), w, h};
}

}  // namespace vantor
