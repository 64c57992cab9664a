#include "ui/dialog_style.h"

#include <QStyleFactory>

namespace vantor {
namespace {

constexpr int kIndicator_px = 13;
constexpr int kLabelSpacing_px = 3;

}  // namespace

DialogStyle::DialogStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

int DialogStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight: return kIndicator_px;
    case PM_CheckBoxLabelSpacing:
    case PM_RadioButtonLabelSpacing: return kLabelSpacing_px;
    default: return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

}  // namespace vantor
