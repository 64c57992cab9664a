#include "source_probe.h"

#include <QFile>
#include <QProcess>
#include <QSet>
#include <QStringList>

#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace vantor::test {
namespace {

constexpr uint16_t kFirstSourcePort = 5960;
constexpr uint16_t kLastSourcePort = 5999;
constexpr char kListenState[] = "0A";
// How long a receiver waits for the next byte before it takes the source as silent.
constexpr char kSilence_us[] = "1500000";
constexpr int kToolBound_ms = 30000;

QString Url(uint16_t port) { return QStringLiteral("tcp://127.0.0.1:%1").arg(port); }

// Inodes of the sockets the process holds open (links "socket:[12345]" in its fd folder).
QSet<QString> SocketInodes(qint64 pid)
{
    QSet<QString> inodes;
    std::error_code error;
    const std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& fd : std::filesystem::directory_iterator(fds, error)) {
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        if (!error && target.starts_with("socket:[") && target.ends_with(']'))
            inodes.insert(QString::fromStdString(target.substr(8, target.size() - 9)));
    }
    return inodes;
}

// Lines of /proc/net/tcp and tcp6: "sl local_address rem_address st ... uid timeout inode".
std::optional<uint16_t> ListeningPort(const QString& table, const QSet<QString>& inodes)
{
    QFile file(table);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    file.readLine();  // the heading
    while (!file.atEnd()) {
        const QStringList fields = QString::fromLatin1(file.readLine()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() < 10 || fields[3] != QLatin1String(kListenState) || !inodes.contains(fields[9]))
            continue;
        const uint port = fields[1].section(QLatin1Char(':'), -1).toUInt(nullptr, 16);
        if (port >= kFirstSourcePort && port <= kLastSourcePort)
            return static_cast<uint16_t>(port);
    }
    return std::nullopt;
}

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

std::optional<uint16_t> SourcePortOf(qint64 pid)
{
    const QSet<QString> inodes = SocketInodes(pid);
    if (inodes.isEmpty())
        return std::nullopt;
    if (auto port = ListeningPort(QStringLiteral("/proc/net/tcp6"), inodes))
        return port;
    return ListeningPort(QStringLiteral("/proc/net/tcp"), inodes);
}

QString StreamTitle(uint16_t port)
{
    auto probe = StartTool(QStringLiteral("ffprobe"),
                           {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-rw_timeout"),
                            QLatin1String(kSilence_us), QStringLiteral("-show_entries"),
                            QStringLiteral("format_tags=title"), QStringLiteral("-of"),
                            QStringLiteral("default=noprint_wrappers=1:nokey=1"), Url(port)});
    return FinishTool(*probe).trimmed();
}

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
