#include "ui/screen_fit.h"

#include <algorithm>

namespace vantor {

QPoint KeptOnScreen(QPoint top_left, QSize frame, const QRect& available)
{
    const int max_x = std::max(available.left(), available.left() + available.width() - frame.width());
    const int max_y = std::max(available.top(), available.top() + available.height() - frame.height());
    return {std::clamp(top_left.x(), available.left(), max_x), std::clamp(top_left.y(), available.top(), max_y)};
}

}  // namespace vantor
