#pragma once
// The answers owed on one connection of the control API, written in the order its requests
// came whatever order they are ready in, as HTTP/1.1 asks of pipelined requests. A client that
// leaves more than kMaxUnsent bytes of answers unread is cut off, and one connection waits for
// one picture at most, so what waits to be written costs the copy little. Every answer carries
// the headers that keep the page out of other sites' frames.

#include "control/api_reply.h"

#include <QHttpServerResponder>
#include <QObject>

#include <deque>
#include <memory>
#include <optional>

class QTcpSocket;

namespace vantor {

inline constexpr qint64 kMaxUnsent = 4 << 20;
// The page's own files alone (and the pictures it makes of the output), in no other site's frame.
inline constexpr char kContentSecurityPolicy[] =
    "default-src 'self'; img-src 'self' blob:; frame-ancestors 'none'; base-uri 'none'; form-action 'none'";

// Writes one answer now, with the headers every answer carries.
void WriteAnswer(QHttpServerResponder& responder, const ApiReply& reply);

class AnswerLine : public QObject {
    Q_OBJECT

public:
    // The socket's line, made with its first request and gone with the socket.
    static AnswerLine& Of(QTcpSocket& socket);

    // A place in the line for the request `responder` answers: the answer given to the
    // returned function goes out once every answer before it has; after the connection has
    // gone, it is dropped.
    ReplyTo Take(QHttpServerResponder&& responder, bool picture = false);
    bool owes_picture() const { return pictures_owed_ > 0; }

private:
    explicit AnswerLine(QTcpSocket& socket);
    void Give(quint64 number, const ApiReply& reply);
    void WriteReady();

    struct Place {
        std::unique_ptr<QHttpServerResponder> responder;
        std::optional<ApiReply> answer;
        bool picture = false;
    };
    QTcpSocket& socket_;
    std::deque<Place> places_;
    quint64 first_ = 0;  // the number of the place in front
    int pictures_owed_ = 0;
};

}  // namespace vantor
