#include "preview/vid_box.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <cstdlib>

namespace vantor {

VidBox::VidBox(QWidget* parent) : QFrame(parent) {}

void VidBox::SetBorder(bool border)
{
    setFrameStyle(border ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
    setLineWidth(1);
}

void VidBox::Release()
{
    buffer_.Release();
    update();
}

void VidBox::ShowPicture(const uint8_t* pixels, int32_t width, int32_t height, int32_t stride, uint32_t four_cc)
{
    const float ratio = height > 0 ? float(width) / float(height) : 0.0f;
    buffer_.ConvertFrame(pixels, width, height, stride, four_cc, ratio);
    buffer_.HandOver();
    update();
}

void VidBox::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    const PreviewPicture picture = buffer_.TakeLatest();
    if (!picture.pixels || picture.header.width <= 0 || picture.header.height == 0)
        return;
    const int height = std::abs(picture.header.height);
    // RGB32 shows the colour bytes and ignores alpha, as the preview does.
    const QImage image(picture.pixels, picture.header.width, height, picture.header.width * 4,
                       QImage::Format_RGB32);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(contentsRect(), image);
}

void VidBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (notify_clicks_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QFrame::mouseReleaseEvent(event);
}

}  // namespace vantor
