#pragma once
// Where a thumbnail of a picture goes inside a control: pictures at least as wide as 16:9 fill
// the control's width, all others its height (a picture a little narrower than 16:9 may then
// overhang the control's sides and is clipped there).

#include <cstdint>
#include <optional>

namespace vantor {

struct ThumbnailRect {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    bool operator==(const ThumbnailRect&) const = default;
};

// Nothing when the picture has no height.
std::optional<ThumbnailRect> PlaceThumbnail(int32_t picture_width, int32_t picture_height,
                                            int32_t control_width, int32_t control_height);

}  // namespace vantor
