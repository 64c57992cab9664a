#include "control/service_status.h"

#include "control/copy_control.h"
#include "control/setup_words.h"
#include "engine/engine.h"

#include <QFileInfo>

namespace vantor {
namespace {

QString LogoWords(const Setup& setup, bool watermark_on)
{
    if (setup.overlay)
        return QStringLiteral("logo %1 %2").arg(QFileInfo(*setup.overlay).fileName(), *setup.on ? "on" : "off");
    return watermark_on ? QStringLiteral("house watermark") : QStringLiteral("no logo");
}

QString ReceiverWords(int32_t count)
{
    return count == 1 ? QStringLiteral("1 receiver") : QStringLiteral("%1 receivers").arg(count);
}

// A restart would lose the operator's changes: said for as long as it is so.
QString UnsavedWords(const CopyControl& control)
{
    const QString& why = control.setup_not_saved();
    return why.isEmpty() ? QString() : QStringLiteral("; Setup not saved: ") + why;
}

}  // namespace

QString ServiceStatusLine(const Engine& engine, const CopyControl& control)
{
    if (const char* failure = engine.source_failure(); failure && !engine.running())
        return QStringLiteral("Not sending: ") + QLatin1StringView(failure);
    const Setup setup = control.Current();
    const QString format = words::SizeWord(*setup.size) + QLatin1Char(' ') + words::RateCaption(*setup.rate);
    const QString logo = LogoWords(setup, engine.watermark_on());
    if (!engine.running())
        return QStringLiteral("Stopped at %1, %2; %3").arg(format, logo, StoppedOutputWords(engine)) + UnsavedWords(control);
    QString line = QStringLiteral("Sending %1, %2").arg(format, logo);
    if (const int32_t receivers = engine.receiver_count(); receivers >= 0)
        line += QStringLiteral(", ") + ReceiverWords(receivers);
    return line + UnsavedWords(control);
}

// The source of a stopped copy still listens: receivers keep, and newcomers get, its last frame.
QString StoppedOutputWords(const Engine& engine)
{
    if (!engine.sender_exists())
        return QStringLiteral("not on the network");
    // Clear: nothing of the operator's keyed, the house watermark at most while it is due.
    return engine.holds_clear_frame() ? QStringLiteral("receivers hold a clear frame")
                                      : QStringLiteral("receivers hold the last picture sent");
}

}  // namespace vantor
