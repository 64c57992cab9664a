#include "ui/dialog_units.h"

#include <QFontMetrics>

namespace vantor {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// value * base / divisor, rounded half away from zero.
int Scale(int value, int base, int divisor)
{
    const long long product = static_cast<long long>(value) * base;
    const long long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor : (product - half) / divisor);
}

}  // namespace

QFont DialogFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

// The average width of the 52 letters, rounded, and the font's height.
DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    base_x_ = (metrics.horizontalAdvance(QString::fromLatin1(kAlphabet)) / 26 + 1) / 2;
    base_y_ = metrics.height();
}

int DialogUnits::X(int dialog_x) const { return Scale(dialog_x, base_x_, 4); }
int DialogUnits::Y(int dialog_y) const { return Scale(dialog_y, base_y_, 8); }

}  // namespace vantor
