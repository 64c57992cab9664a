#include "ui/preview_canvas.h"

namespace vantor {
namespace {

int32_t DivideRoundingUp(int32_t value, int32_t divisor) { return value / divisor + (value % divisor != 0); }

}  // namespace

int32_t PreviewCanvasUnit(int32_t picture_width, int32_t picture_height)
{
    if (picture_width <= 0 || picture_height <= 0)
        return 0;
    if (picture_width / 16 > picture_height / 9)
        return DivideRoundingUp(picture_width, 16);
    return DivideRoundingUp(picture_height, 9);
}

}  // namespace vantor
