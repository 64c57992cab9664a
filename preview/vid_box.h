#pragma once
// The preview box: paints the picture last handed over to its preview buffer, stretched over
// its whole rectangle with smooth filtering (every picture is 16:9 and the box is taken to be
// 16:9 whatever its real shape), and nothing before the first hand-over. It draws nothing else.

#include "preview/preview_buffer.h"

#include <QFrame>

namespace vantor {

class VidBox : public QFrame {
    Q_OBJECT

public:
    explicit VidBox(QWidget* parent = nullptr);

    // Only a box whose template asks for it reports clicks.
    void SetNotifyClicks(bool notify) { notify_clicks_ = notify; }
    void SetBorder(bool border);

    // The buffer a converting thread writes; it stays at this address for the box's life.
    PreviewBuffer& buffer() { return buffer_; }
    // Allocates a fresh buffer: the box paints nothing until the next hand-over.
    bool PreparePreview() { return buffer_.PreparePreview(); }
    // Frees the buffer when the box's dialog closes; no picture survives it.
    void Release();
    // Converts a 32-bit picture on the user-interface thread, hands it over and repaints.
    void ShowPicture(const uint8_t* pixels, int32_t width, int32_t height, int32_t stride, uint32_t four_cc);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    PreviewBuffer buffer_;
    bool notify_clicks_ = false;
};

}  // namespace vantor
