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

constexpr char kTooLarge[] =
    "HTTP/1.1 413 Payload Too Large\r\n"
    "Content-Type: application/json\r\n"
    "Content-Length: 45\r\n"
    "Connection: close\r\n"
    "\r\n"
    "{\"error\":\"the request is larger than 64 KB\"}\n";

}  // namespace

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
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, received] {
        *received += socket->bytesAvailable();
        if (*received > kMaxRequestBytes)
            RefuseTooLarge(socket);
    });
    connect(socket, &QTcpSocket::bytesWritten, socket, [idle, received] {
        *received = 0;
        idle->start(kIdle_ms);
    });
}

void ConnectionGuard::RefuseTooLarge(QTcpSocket* socket)
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
    socket->write(kTooLarge);
    QTimer::singleShot(kLinger_ms, socket, &QTcpSocket::abort);
}

}  // namespace vantor
