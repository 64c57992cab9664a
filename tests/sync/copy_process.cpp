#include "copy_process.h"

#include "support/spin_until.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTcpServer>

namespace vantor::test {
namespace {

constexpr int kStartBound_ms = 10000;
const QString kTitlePrefix = QStringLiteral("Kelo Vantor for NDI\u00AE - No ");

}  // namespace

QString TitleLine(int shown_number) { return kTitlePrefix + QString::number(shown_number); }

QString SourceName(int shown_number) { return QStringLiteral("Kelo Vantor %1").arg(shown_number); }

QString HeadlessProgram() { return QStringLiteral(VANTOR_HEADLESS_PATH); }

quint16 FreeLocalPort(const QHostAddress& address)
{
    QTcpServer probe;
    probe.listen(address, 0);
    return probe.serverPort();
}

CopyProcess::CopyProcess(const QString& bus_address, const QString& program, QStringList arguments, quint16 api_port)
    : api_port_(api_port)
{
    if (api_port_)
        arguments << QStringLiteral("--control") << QStringLiteral("127.0.0.1:%1").arg(api_port_);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_address);
    environment.insert(QStringLiteral("NDIVANTOR_TEST_CONTROL"), QStringLiteral("1"));
    environment.insert(QStringLiteral("NDIVANTOR_RUNTIME"), QStringLiteral("builtin"));  // streams to watch
    process_.setProcessEnvironment(environment);
    process_.start(program, arguments);
    started_ = process_.waitForStarted(kStartBound_ms);
    pid_ = process_.processId();
}

CopyProcess::~CopyProcess() { Kill(); }

void CopyProcess::Send(const QByteArray& command)
{
    process_.write(command + '\n');
    process_.waitForBytesWritten(kStartBound_ms);
}

int CopyProcess::Post(const QString& path, const QByteArray& json_body)
{
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(api_port_).arg(path)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    QNetworkReply* reply = network.post(request, json_body);  // owned by `network`
    if (!SpinUntil([reply] { return reply->isFinished(); }, kStartBound_ms))
        return 0;
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

void CopyProcess::Drain()
{
    output_ += process_.readAllStandardOutput();
    errors_ += process_.readAllStandardError();
}

QStringList CopyProcess::Lines()
{
    Drain();
    QStringList lines = QString::fromUtf8(output_).split(QLatin1Char('\n'));
    lines.removeLast();  // the part after the last line end: empty or not yet complete
    return lines;
}

QString CopyProcess::Errors()
{
    Drain();
    return QString::fromUtf8(errors_);
}

qsizetype CopyProcess::Count(const QString& line) { return Lines().count(line); }

bool CopyProcess::WaitForCount(const QString& line, qsizetype count, int timeout_ms)
{
    return SpinUntil([&] { return Count(line) >= count; }, timeout_ms);
}

QStringList CopyProcess::Titles()
{
    return Lines().filter(QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(kTitlePrefix)));
}

QString CopyProcess::Title()
{
    const QStringList titles = Titles();
    return titles.isEmpty() ? QString() : titles.last();
}

bool CopyProcess::WaitForTitle(int timeout_ms)
{
    return SpinUntil([&] { return !Title().isEmpty(); }, timeout_ms);
}

void CopyProcess::Terminate()
{
    if (running())
        process_.terminate();
}

bool CopyProcess::WaitForExit(int timeout_ms)
{
    const bool ended = SpinUntil([&] { return !running(); }, timeout_ms);
    Drain();
    return ended;
}

bool CopyProcess::EndedCleanly() const
{
    return !running() && process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

void CopyProcess::Kill()
{
    if (!running())
        return;
    process_.kill();
    process_.waitForFinished(kStartBound_ms);
}

}  // namespace vantor::test
