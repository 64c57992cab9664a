#pragma once
// One copy of the program as a child process (ndivantor-headless, or ndivantor with its window):
// steered as an operator steers it, through its control API (a window also through its test
// control on standard input), and watched through the lines it prints. Every wait is bounded.

#include <QByteArray>
#include <QHostAddress>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace vantor::test {

// The path of ndivantor-headless.
QString HeadlessProgram();
// A TCP port on `address` (127.0.0.1 unless told) that was free a moment ago.
quint16 FreeLocalPort(const QHostAddress& address = QHostAddress(QHostAddress::LocalHost));

class CopyProcess {
public:
    // The copy uses the session bus at `bus_address`; an address where no bus listens gives a
    // copy without a bus. With an `api_port`, its control API answers there on 127.0.0.1.
    explicit CopyProcess(const QString& bus_address, const QString& program = HeadlessProgram(),
                         QStringList arguments = {}, quint16 api_port = 0);
    // Kills the copy if it still runs.
    ~CopyProcess();
    CopyProcess(const CopyProcess&) = delete;
    CopyProcess& operator=(const CopyProcess&) = delete;

    bool started() const { return started_; }
    qint64 pid() const { return pid_; }
    bool running() const { return process_.state() != QProcess::NotRunning; }

    // One line of a window's test control ("click 1001", "menu 1002 32776", ...).
    void Send(const QByteArray& command);
    // A POST to the copy's control API ("/api/stop", "/api/role" with {"role": "master"}, ...),
    // answered once the copy has done it: the answer's HTTP status, 0 when none came.
    int Post(const QString& path, const QByteArray& json_body = "{}");
    // Standard output so far, line by line, and standard error as it stands.
    QStringList Lines();
    QString Errors();
    qsizetype Count(const QString& line);
    bool WaitForCount(const QString& line, qsizetype count, int timeout_ms);
    // Every title line the copy printed, and the last one (empty before the first).
    QStringList Titles();
    QString Title();
    bool WaitForTitle(int timeout_ms);

    // SIGTERM: the copy's orderly shutdown.
    void Terminate();
    bool WaitForExit(int timeout_ms);
    // True when the copy ended by itself with exit code 0.
    bool EndedCleanly() const;
    int exit_code() const { return process_.exitCode(); }
    void Kill();

private:
    void Drain();

    QProcess process_;
    bool started_ = false;
    qint64 pid_ = 0;  // kept after the copy ends, for messages
    quint16 api_port_ = 0;
    QByteArray output_;
    QByteArray errors_;
};

// "Kelo Vantor for NDI® - No 3" for shown number 3.
QString TitleLine(int shown_number);
// "Kelo Vantor 3" for shown number 3.
QString SourceName(int shown_number);

}  // namespace vantor::test
