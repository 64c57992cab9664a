#include "stream_client.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QStringList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace vantor::test {
namespace {

QString Address(uint16_t port) { return QStringLiteral("tcp://127.0.0.1:%1").arg(port); }

// A started client's standard output once it has ended, or nothing when it failed or overran.
std::optional<QByteArray> Finish(QProcess& process, int timeout_ms)
{
    if (!process.waitForFinished(timeout_ms)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return std::nullopt;
    return process.readAllStandardOutput();
}

// Runs a client to its end.
std::optional<QByteArray> Run(const QString& program, const QStringList& args, int timeout_ms)
{
    QProcess process;
    process.start(program, args);
    return Finish(process, timeout_ms);
}

constexpr uint16_t kFirstSourcePort = 5960;
constexpr uint16_t kLastSourcePort = 5999;
constexpr char kListenState[] = "0A";

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

}  // namespace

// A refused connection on loopback answers at once, so scanning the range is quick.
bool IsListening(uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool open = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return open;
}

std::optional<StreamInfo> ProbeStream(uint16_t port, int timeout_ms)
{
    const auto out = Run(QStringLiteral("ffprobe"),
                         {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                          QStringLiteral("format_tags:stream=codec_name,width,height,r_frame_rate,display_aspect_ratio"),
                          QStringLiteral("-of"), QStringLiteral("json"), Address(port)},
                         timeout_ms);
    if (!out)
        return std::nullopt;
    const QJsonObject root = QJsonDocument::fromJson(*out).object();
    const QJsonObject stream = root.value(QStringLiteral("streams")).toArray().at(0).toObject();
    const QJsonObject tags = root.value(QStringLiteral("format")).toObject().value(QStringLiteral("tags")).toObject();
    StreamInfo info;
    info.title = tags.value(QStringLiteral("title")).toString();
    info.connection_metadata = tags.value(QStringLiteral("NDI_CONNECTION_METADATA")).toString();
    info.codec = stream.value(QStringLiteral("codec_name")).toString();
    info.width = stream.value(QStringLiteral("width")).toInt();
    info.height = stream.value(QStringLiteral("height")).toInt();
    info.frame_rate = stream.value(QStringLiteral("r_frame_rate")).toString();
    info.aspect_ratio = stream.value(QStringLiteral("display_aspect_ratio")).toString();
    return info;
}

std::vector<QByteArray> GrabFrames(uint16_t port, int count, int width, int height, int timeout_ms)
{
    return ReceivedFrames(*StartReceiving(port, count), width, height, timeout_ms);
}

std::unique_ptr<QProcess> StartReceiving(uint16_t port, int count)
{
    auto receiver = std::make_unique<QProcess>();
    receiver->start(QStringLiteral("ffmpeg"),
                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), Address(port),
                     QStringLiteral("-fps_mode"), QStringLiteral("passthrough"), QStringLiteral("-frames:v"),
                     QString::number(count), QStringLiteral("-f"), QStringLiteral("rawvideo"),
                     QStringLiteral("-pix_fmt"), QStringLiteral("bgra"), QStringLiteral("-")});
    return receiver;
}

std::vector<QByteArray> ReceivedFrames(QProcess& receiver, int width, int height, int timeout_ms)
{
    const auto out = Finish(receiver, timeout_ms);
    std::vector<QByteArray> frames;
    const qsizetype frame_bytes = qsizetype(width) * height * 4;
    for (qsizetype at = 0; out && at + frame_bytes <= out->size(); at += frame_bytes)
        frames.push_back(out->mid(at, frame_bytes));
    return frames;
}

std::optional<uint16_t> SourcePortOf(qint64 pid)
{
    const QSet<QString> inodes = SocketInodes(pid);
    if (inodes.isEmpty())
        return std::nullopt;
    if (auto port = ListeningPort(QStringLiteral("/proc/net/tcp6"), inodes))
        return port;
    return ListeningPort(QStringLiteral("/proc/net/tcp"), inodes);
}

}  // namespace vantor::test
