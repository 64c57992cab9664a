#pragma once
// A static control: text, a picture or an empty frame. One whose template asks for it reports
// left clicks with the point clicked, in its own coordinates.

#include <QLabel>

namespace vantor {

class StaticControl : public QLabel {
    Q_OBJECT

public:
    explicit StaticControl(QWidget* parent = nullptr) : QLabel(parent) {}

    void SetNotifyClicks(bool notify) { notify_clicks_ = notify; }

signals:
    void clicked(QPoint position);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool notify_clicks_ = false;
};

}  // namespace vantor
