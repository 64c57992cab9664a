#include "ui/static_control.h"

#include <QMouseEvent>

namespace vantor {

void StaticControl::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (notify_clicks_ && event->button() == Qt::LeftButton && rect().contains(at))
        emit clicked(at);
    QLabel::mouseReleaseEvent(event);
}

}  // namespace vantor
