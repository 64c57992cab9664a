#include "control/connection_watch.h"

#include "control/answer_line.h"
#include "control/connection_guard.h"

#include <QTcpSocket>

#include <sys/socket.h>

namespace vantor {
namespace {

// Time a refused client gets to read the answer while what it still sends is thrown away:
// closing at once would make the kernel reset the connection and lose the answer.
constexpr int kLinger_ms = 2000;

QByteArrayView Reason(int status)
{
    switch (status) {
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    default: return "Service Unavailable";
    }
}

QByteArray Written(const ApiReply& reply)
{
    return "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + Reason(reply.status).toByteArray() + "\r\n"
           "Content-Type: " + reply.type + "\r\n"
           "Cache-Control: no-store\r\n"
           "X-Frame-Options: DENY\r\n"
           "Content-Security-Policy: " + QByteArray(kContentSecurityPolicy) + "\r\n"
           "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n" +
           (reply.header.first.isEmpty() ? QByteArray() : reply.header.first + ": " + reply.header.second + "\r\n") +
           "Connection: close\r\n"
           "\r\n" + reply.body;
}

qint64 DueInAWindow(qint64 left) { return std::min(left, kMinBodyBytesPerSecond * kBodyWindow_ms / 1000); }

}  // namespace

ConnectionWatch::ConnectionWatch(QTcpSocket& socket, ConnectionGuard& guard)
    : QObject(&socket), socket_(socket), guard_(guard), peer_(socket.peerAddress())
{
    deadline_.setSingleShot(true);
    deadline_.start(kHead_ms);
    connect(&deadline_, &QTimer::timeout, this, &ConnectionWatch::Expired);
    connect(&body_watch_, &QTimer::timeout, this, &ConnectionWatch::CheckBodyRate);
    connect(&socket_, &QTcpSocket::readyRead, this, &ConnectionWatch::Read);
    connect(&socket_, &QTcpSocket::bytesWritten, this, &ConnectionWatch::Answered);
}

bool ConnectionWatch::busy() const
{
    return socket_.property(kOwedAnswers).toInt() > 0 || framing_.body_left() > 0;
}

void ConnectionWatch::Close()
{
    closing_ = true;
    socket_.abort();
    socket_.deleteLater();
}

// What is available is what has come since the server last read: it reads all of it each time.
void ConnectionWatch::Read()
{
    const qint64 fresh = socket_.bytesAvailable();
    qint64 at = 0;
    while (at < fresh) {
        if (framing_.body_left() > 0) {
            const qint64 taken = framing_.TakeBody(fresh - at);
            at += taken;
            BodyArrived(taken);
            continue;
        }
        // Only what can still be a head is copied, never a body.
        const QByteArray bytes = socket_.peek(std::min(fresh, at + kMaxHeaderBytes));
        const auto taken = framing_.TakeHead(QByteArrayView(bytes).sliced(at));
        at += taken.used;
        if (taken.refusal)
            return Refuse(*taken.refusal);
        if (!taken.head)
            return;
        if (const auto refusal = Admit(*taken.head))
            return Refuse(*refusal);
    }
}

std::optional<ApiReply> ConnectionWatch::Admit(const RequestHead& head)
{
    TokenGate& gate = guard_.gate();
    if (auto refusal = gate.Judge(peer_, head.path, head.authorization))
        return refusal;
    if (!authorised_ && gate.Authorised(head.authorization)) {
        authorised_ = true;
        deadline_.start(kIdle_ms);
    }
    if (head.body_bytes > head.body_limit())
        return ApiReply::Error(413, QStringLiteral("the request is larger than %1").arg(LimitWords(head.body_limit())));
    if (head.upload()) {
        if (!guard_.TakeUploadPlace(socket_))
            return ApiReply::Error(503, QStringLiteral("another upload is under way: send this one once it has ended"));
        uploading_ = true;
    }
    if (head.body_bytes > 0) {
        body_due_ = DueInAWindow(head.body_bytes);
        body_watch_.start(kBodyWindow_ms);
    }
    return std::nullopt;
}

void ConnectionWatch::BodyArrived(qint64 bytes)
{
    body_due_ -= bytes;
    if (framing_.body_left() == 0)
        body_watch_.stop();
}

void ConnectionWatch::CheckBodyRate()
{
    if (body_due_ > 0)
        return Refuse(ApiReply::Error(408, QStringLiteral("the body came slower than %1/s")
                                               .arg(LimitWords(kMinBodyBytesPerSecond))));
    body_due_ = DueInAWindow(framing_.body_left());
}

void ConnectionWatch::Answered()
{
    // An upload's answer comes once its body is in: the next one may begin.
    if (uploading_ && framing_.body_left() == 0) {
        uploading_ = false;
        guard_.GiveUploadPlace(socket_);
    }
    if (authorised_)
        deadline_.start(kIdle_ms);
}

void ConnectionWatch::Expired()
{
    // An answer still going out is let finish; without the token, the connection goes first
    // when room is needed all the same.
    if (busy() || socket_.bytesToWrite() > 0)
        return deadline_.start(authorised_ ? kIdle_ms : kHead_ms);
    Close();
}

void ConnectionWatch::Refuse(const ApiReply& answer)
{
    closing_ = true;
    deadline_.stop();
    body_watch_.stop();
    if (std::exchange(uploading_, false))
        guard_.GiveUploadPlace(socket_);
    disconnect(&socket_, nullptr, this, nullptr);
    socket_.disconnect(guard_.parent());  // the HTTP server reads no more of it
    if (socket_.isTransactionStarted())
        socket_.rollbackTransaction();
    socket_.readAll();
    connect(&socket_, &QTcpSocket::readyRead, this, [this] { socket_.readAll(); });
    connect(&socket_, &QTcpSocket::disconnected, &socket_, &QObject::deleteLater);
    connect(&socket_, &QTcpSocket::bytesWritten, this, [this] {
        if (socket_.bytesToWrite() == 0)
            ::shutdown(int(socket_.socketDescriptor()), SHUT_WR);
    });
    socket_.write(Written(answer));
    QTimer::singleShot(kLinger_ms, this, &ConnectionWatch::Close);
}

}  // namespace vantor
