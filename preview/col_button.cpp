#include "preview/col_button.h"

#include <QMouseEvent>
#include <QPainter>

namespace vantor {
namespace {

constexpr int kEdge_px = 2;  // the face lies inside the frame's edge on every side

}  // namespace

QColor FromColorref(uint32_t colorref)
{
    return QColor(int(colorref & 0xFF), int((colorref >> 8) & 0xFF), int((colorref >> 16) & 0xFF));
}

CColButton::CColButton(QWidget* parent) : QPushButton(parent) {}

void CColButton::InstallStateColours()
{
    face_colours = {0, kColourOn, kColourArmed, kColourIdle};
}

void CColButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect whole = rect();
    // Flat frame: the same pressed or not.
    painter.fillRect(whole, palette().button());
    painter.setPen(palette().color(QPalette::Shadow));
    painter.drawRect(whole.adjusted(0, 0, -1, -1));
    const QRect face = whole.adjusted(kEdge_px, kEdge_px, -kEdge_px, -kEdge_px);
    if (colour_index >= 1 && colour_index <= 3)
        painter.fillRect(face, FromColorref(face_colours[size_t(colour_index)]));
    if (!text().isEmpty())
        DrawCaption(painter, face);
}

// Centred with halves that truncate, as measured in the button's font; one pixel right and down
// while pressed.
void CColButton::DrawCaption(QPainter& painter, const QRect& face)
{
    const QFontMetrics metrics(font());
    const int text_width = metrics.horizontalAdvance(text());
    const int text_height = metrics.height();
    const int right = face.left() + face.width();
    const int bottom = face.top() + face.height();
    int x = (face.left() + right) / 2 - text_width / 2;
    int y = (face.top() + bottom) / 2 - text_height / 2;
    if (isDown()) {
        ++x;
        ++y;
    }
    const QRect text_rect(x, y, text_width, text_height);
    painter.setFont(font());
    if (!isEnabled()) {
        // Embossed: a light copy one pixel down and right under a grey one.
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(text_rect.translated(1, 1), Qt::AlignLeft | Qt::AlignTop, text());
        painter.setPen(palette().color(QPalette::Disabled, QPalette::Dark));
    } else {
        painter.setPen(palette().color(QPalette::Active, QPalette::ButtonText));
    }
    painter.drawText(text_rect, Qt::AlignLeft | Qt::AlignTop, text());
}

void CColButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && press_index != 0)
        colour_index = press_index;
    QPushButton::mousePressEvent(event);
}

void CColButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        emit rightClicked();
        return;
    }
    QPushButton::mouseReleaseEvent(event);
}

}  // namespace vantor
