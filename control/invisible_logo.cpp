#include "control/invisible_logo.h"

#include "control/copy_control.h"

namespace vantor {

InvisibleLogoWatch::InvisibleLogoWatch(const CopyControl& control, std::function<void(const Notice&)> report,
                                       QObject* parent)
    : QObject(parent), control_(control), report_(std::move(report))
{
    connect(&control_, &CopyControl::changed, this, &InvisibleLogoWatch::Look);
}

void InvisibleLogoWatch::Look()
{
    if (!control_.picture_invisible()) {
        said_for_.clear();
        return;
    }
    const QString file = control_.Current().overlay.value_or(QString());
    if (file == said_for_)
        return;
    said_for_ = file;
    report_({kLogoInvisible, InvisibleLogoWarning(file)});
}

QString InvisibleLogoWarning(const QString& file)
{
    return file + QStringLiteral(": no pixel of this logo shows (every pixel's alpha is 0, as in a picture without an "
                                 "alpha channel), so it goes on air fully transparent; make it solid: Make solid in "
                                 "the Overlay setup, --solid, or \"solid\": true through the control API");
}

}  // namespace vantor
