#pragma once
// Keeping windows where the operator can reach them.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace vantor {

// The top-left corner nearest to the one wanted at which a window frame of this size lies in
// the available area, as far as it fits (its top-left corner first).
QPoint KeptOnScreen(QPoint top_left, QSize frame, const QRect& available);

}  // namespace vantor
