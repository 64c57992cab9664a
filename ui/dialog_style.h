#pragma once
// The look of the program's dialogs: the platform's own style, with check boxes and radio
// buttons at the size the windows were designed for (13-pixel indicators, 3 pixels before the
// caption), so that every caption fits the place its template gives it.

#include <QProxyStyle>

namespace vantor {

class DialogStyle : public QProxyStyle {
public:
    DialogStyle();
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
};

}  // namespace vantor
