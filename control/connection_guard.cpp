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

QByteArray Refusal(QByteArrayView status, const QString& error)
{
    const QByteArray body = "{\"error\":\"" + error.toLatin1() + "\"}\n";
    return "HTTP/1.1 " + status.toByteArray() + "\r\n"
           "Content-Type: application/json\r\n"
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n"
           "Connection: close\r\n"
           "\r\n" + body;
}

QByteArray TooLarge(qint64 limit)
{
    return Refusal("413 Payload Too Large",
                   QStringLiteral("the request is larger than %1").arg(LimitWords(limit - kMaxHeaderBytes)));
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
    // One upload at a time, so uploads hold at most one large body whoever sends them.
    auto uploading = std::make_shared<bool>(false);
    const auto upload_ended = [this, uploading] {
        if (std::exchange(*uploading, false))
            upload_under_way_ = false;
    };
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, received, uploading, idle] {
        if (*received == 0 && socket->peek(kUploadStart.size()) == kUploadStart) {
            if (upload_under_way_)
                return Refuse(socket, Refusal("503 Service Unavailable", QStringLiteral(
                                                  "another upload is under way: send this one once it has ended")));
            upload_under_way_ = *uploading = true;
        }
        *received += socket->bytesAvailable();
        const qint64 limit = *uploading ? kMaxUploadBytes : kMaxRequestBytes;
        if (*received > limit)
            return Refuse(socket, TooLarge(limit));
        if (*uploading)
            idle->start(kIdle_ms);
    });
    connect(socket, &QTcpSocket::bytesWritten, socket, [idle, received, upload_ended] {
        *received = 0;
        upload_ended();
        idle->start(kIdle_ms);
    });
    connect(socket, &QObject::destroyed, this, upload_ended);
}

void ConnectionGuard::Refuse(QTcpSocket* socket, const QByteArray& answer)
{
    socket->disconnect(parent());  // the HTTP server reads no more of it
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);  // only that: its end is still counted
    if (socket->isTransactionStarted())
        socket->rollbackTransaction();
    socket->readAll();
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    connect(socket, &QTcpSocket::bytesWritten, socket, [socket] {
        if (socket->bytesToWrite() == 0)
            ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
    });
    socket->write(answer);
    QTimer::singleShot(kLinger_ms, socket, &QTcpSocket::abort);
}

}  // namespace vantor
