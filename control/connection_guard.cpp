#include "control/connection_guard.h"

#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

namespace vantor {
namespace {

// Time a refused client gets to read the answer while what it still sends is thrown away:
// closing at once would make the kernel reset the connection and lose the answer.
constexpr int kLinger_ms = 2000;

constexpr QByteArrayView kUploadStart("PUT /api/files/");

QByteArray TooLarge(qint64 limit)
{
    const QByteArray body = "{\"error\":\"the request is larger than " + LimitWords(limit - kMaxHeaderBytes).toLatin1() + "\"}\n";
    return "HTTP/1.1 413 Payload Too Large\r\n"
           "Content-Type: application/json\r\n"
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n"
           "Connection: close\r\n"
           "\r\n" + body;
}

}  // namespace

QString LimitWords(qint64 body_bytes)
{
    return body_bytes >= (1 << 20) ? QStringLiteral("%1 MB").arg(body_bytes >> 20)
                                   : QStringLiteral("%1 KB").arg(body_bytes >> 10);
}

ConnectionGuard::ConnectionGuard(QObject* parent) : QTcpServer(parent) {}

void ConnectionGuard::incomingConnection(qintptr descriptor)
{
    if (open_ >= kMaxConnections) {
        ::close(int(descriptor));
        return;
    }
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    ++open_;
    connect(socket, &QObject::destroyed, this, [this] { --open_; });
    Watch(socket);  // before the HTTP server hears of it, so this looks at every byte first
    addPendingConnection(socket);
}

void ConnectionGuard::Watch(QTcpSocket* socket)
{
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->start(kIdle_ms);
    connect(idle, &QTimer::timeout, socket, [socket, idle] {
        if (socket->property(kOwedAnswers).toInt() > 0)
            return idle->start();
        socket->abort();
    });
    auto received = std::make_shared<qint64>(0);  // since the last answer
    auto limit = std::make_shared<qint64>(kMaxRequestBytes);  // of the request coming in
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, received, limit, idle] {
        if (*received == 0)
            *limit = socket->peek(kUploadStart.size()) == kUploadStart ? kMaxUploadBytes : kMaxRequestBytes;
        *received += socket->bytesAvailable();
        if (*received > *limit)
            return RefuseTooLarge(socket, *limit);
        if (*limit == kMaxUploadBytes)
            idle->start(kIdle_ms);
    });
    connect(socket, &QTcpSocket::bytesWritten, socket, [idle, received] {
        *received = 0;
        idle->start(kIdle_ms);
    });
}

void ConnectionGuard::RefuseTooLarge(QTcpSocket* socket, qint64 limit)
{
    socket->disconnect(parent());  // the HTTP server reads no more of it
    socket->disconnect(this);
    if (socket->isTransactionStarted())
        socket->rollbackTransaction();
    socket->readAll();
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    connect(socket, &QTcpSocket::bytesWritten, socket, [socket] {
        if (socket->bytesToWrite() == 0)
            ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
    });
    socket->write(TooLarge(limit));
    QTimer::singleShot(kLinger_ms, socket, &QTcpSocket::abort);
}

}  // namespace vantor
