#include "source_probe.h"

#include <QProcess>
#include <QStringList>

#include <memory>

namespace vantor::test {
namespace {

// How long a receiver waits for the next byte before it takes the source as silent.
constexpr char kSilence_us[] = "1500000";
constexpr int kToolBound_ms = 30000;

QString Url(uint16_t port) { return QStringLiteral("tcp://127.0.0.1:%1").arg(port); }

std::unique_ptr<QProcess> StartTool(const QString& program, const QStringList& arguments)
{
    auto tool = std::make_unique<QProcess>();
    tool->setProcessChannelMode(QProcess::SeparateChannels);
    tool->start(program, arguments);
    return tool;
}

// Waits for the tool within the bound, kills it past the bound, and returns what it printed.
QString FinishTool(QProcess& tool)
{
    if (!tool.waitForFinished(kToolBound_ms)) {
        tool.kill();
        tool.waitForFinished(kToolBound_ms);
    }
    return QString::fromUtf8(tool.readAllStandardOutput());
}

}  // namespace

std::vector<int> FramesReceived(const std::vector<uint16_t>& ports, int wanted)
{
    std::vector<std::unique_ptr<QProcess>> receivers;
    for (uint16_t port : ports)
        receivers.push_back(StartTool(
            QStringLiteral("ffmpeg"),
            {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-rw_timeout"),
             QLatin1String(kSilence_us), QStringLiteral("-i"), Url(port), QStringLiteral("-frames:v"),
             QString::number(wanted), QStringLiteral("-f"), QStringLiteral("framecrc"), QStringLiteral("-")}));
    std::vector<int> counts;
    for (auto& receiver : receivers) {
        int frames = 0;
        for (const QString& line : FinishTool(*receiver).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            frames += line.startsWith(QLatin1Char('#')) ? 0 : 1;
        counts.push_back(frames);
    }
    return counts;
}

}  // namespace vantor::test
