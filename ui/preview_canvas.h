#pragma once
// The background of the Overlay setup dialog's preview play: the smallest 16:9 canvas, 16k x 9k,
// sized by the picture's wider side in sixteenths or ninths. It holds the picture except when
// both come out equal, the height is a multiple of 9 and the width is not a multiple of 16: the
// picture is then cut at both sides.

#include <cstdint>

namespace vantor {

// k for a w x h picture; 0 for a picture with no pixels.
int32_t PreviewCanvasUnit(int32_t picture_width, int32_t picture_height);

}  // namespace vantor
