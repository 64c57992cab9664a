#pragma once
// Dialog units to pixels with the dialog font's base units: a horizontal unit is a quarter of
// the font's average character width, a vertical unit an eighth of its height.

#include <QFont>
#include <QRect>
#include <QSize>

namespace vantor {

// The font every dialog of the program uses: a sans-serif face at 11 pixels, metric-compatible
// with the face the windows were designed in, so captions fit their controls.
QFont DialogFont();

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int base_x, int base_y) : base_x_(base_x), base_y_(base_y) {}

    int base_x() const { return base_x_; }
    int base_y() const { return base_y_; }

    // Each value rounded to the nearest pixel.
    int X(int dialog_x) const;
    int Y(int dialog_y) const;
    QRect ToPixels(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }
    QSize ToPixels(int w, int h) const { return QSize(X(w), Y(h)); }

private:
    int base_x_;
    int base_y_;
};

}  // namespace vantor
