#include "control/connection_guard.h"

#include "control/answer_line.h"

#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

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
           "X-Frame-Options: DENY\r\n"
           "Content-Security-Policy: " + QByteArray(kContentSecurityPolicy) + "\r\n"
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n"
           "Connection: close\r\n"
           "\r\n" + body;
}

QByteArray TooLarge(qint64 limit)
{
    return Refusal("413 Payload Too Large",
                   QStringLiteral("the request is larger than %1").arg(LimitWords(limit - kMaxHeaderBytes)));
}

void Close(QTcpSocket* socket)
{
    socket->abort();
    socket->deleteLater();
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
    auto socket = std::make_unique<QTcpSocket>();
    if (!socket->setSocketDescriptor(descriptor)) {
        ::close(int(descriptor));
        return;
    }
    const QHostAddress peer = socket->peerAddress();
    if (int(places_.size()) >= kMaxConnections && !MakeWay(peer))
        return;  // closed with the socket
    QTcpSocket* kept = socket.release();
    kept->setParent(this);
    places_.push_back({kept, peer});
    // Counted down by a tag of the socket's own that nothing else is connected to: the HTTP
    // server cuts every connection of a socket it cannot parse, and so does a refusal here.
    auto* tag = new QObject(kept);
    connect(tag, &QObject::destroyed, this, [this, kept] {
        std::erase_if(places_, [kept](const Place& place) { return place.socket == kept; });
    });
    Watch(kept);  // before the HTTP server hears of it, so this looks at every byte first
    addPendingConnection(kept);
}

bool ConnectionGuard::MakeWay(const QHostAddress& peer)
{
    const auto places_of = [this, &peer](const QHostAddress& address) {
        return std::count_if(places_.begin(), places_.end(), [&](const Place& p) { return p.peer == address; }) +
               (address == peer ? 1 : 0);
    };
    std::ptrdiff_t most = 0;
    for (const Place& place : places_)
        most = std::max(most, places_of(place.peer));
    if (places_of(peer) >= most)
        return false;
    // Of the address that holds the most, the connection waiting longest and owed nothing, or
    // else its first.
    const auto of_most = [&](const Place& p) { return places_of(p.peer) == most; };
    auto giving_up = std::find_if(places_.begin(), places_.end(), [&](const Place& p) {
        return of_most(p) && p.socket->property(kOwedAnswers).toInt() == 0;
    });
    if (giving_up == places_.end())
        giving_up = std::find_if(places_.begin(), places_.end(), of_most);
    QTcpSocket* socket = giving_up->socket;
    places_.erase(giving_up);
    Close(socket);
    return true;
}

void ConnectionGuard::Watch(QTcpSocket* socket)
{
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    idle->start(kIdle_ms);
    connect(idle, &QTimer::timeout, socket, [socket, idle] {
        if (socket->property(kOwedAnswers).toInt() > 0)
            return idle->start();
        Close(socket);
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
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    if (socket->isTransactionStarted())
        socket->rollbackTransaction();
    socket->readAll();
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QTcpSocket::bytesWritten, socket, [socket] {
        if (socket->bytesToWrite() == 0)
            ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
    });
    socket->write(answer);
    QTimer::singleShot(kLinger_ms, socket, [socket] { Close(socket); });
}

}  // namespace vantor
