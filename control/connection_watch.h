#pragma once
// One connection of the control API as the guard watches it, each byte before the HTTP server
// reads it. A request's head is judged as soon as it is in (the token, the length, the one
// upload place) and refused, answered and closed, before a byte of its body is taken; a body
// must come at kMinBodyBytesPerSecond or better, over each kBodyWindow_ms. A connection that
// has sent no head with the token within kHead_ms goes; one that has, once idle for kIdle_ms
// (an answer still going out is let finish first). The send thread never waits for the thread
// this runs on.

#include "control/api_reply.h"
#include "control/request_head.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <optional>

class QTcpSocket;

namespace vantor {

class ConnectionGuard;

inline constexpr int kHead_ms = 3000;
inline constexpr int kIdle_ms = 10000;
inline constexpr qint64 kMinBodyBytesPerSecond = 64 * 1024;
inline constexpr int kBodyWindow_ms = 10000;
// A socket's property counting the answers that the server still owes it: it is not idle.
inline constexpr char kOwedAnswers[] = "vantor_owed_answers";

class ConnectionWatch : public QObject {
public:
    // Watches `socket`, of which it is a child; made before the HTTP server hears of the socket,
    // so it sees every byte first.
    ConnectionWatch(QTcpSocket& socket, ConnectionGuard& guard);

    // It has sent a head with the token (any head, when the copy has none): the operator's.
    bool authorised() const { return authorised_; }
    // Owed an answer, or a body is coming.
    bool busy() const;
    // Refused and on its way out.
    bool closing() const { return closing_; }
    // Closed at once, its place given to another.
    void Close();

private:
    void Read();
    // Why the request may not go on; nothing when it may.
    std::optional<ApiReply> Admit(const RequestHead& head);
    void BodyArrived(qint64 bytes);
    void CheckBodyRate();
    void Answered();
    void Expired();
    // Answers without the HTTP server, reads what else comes and closes.
    void Refuse(const ApiReply& answer);

    QTcpSocket& socket_;
    ConnectionGuard& guard_;
    const QHostAddress peer_;
    RequestFraming framing_;
    bool authorised_ = false;
    bool closing_ = false;
    bool uploading_ = false;  // holds the upload place
    QTimer deadline_;         // kHead_ms, then kIdle_ms
    QTimer body_watch_;       // every kBodyWindow_ms while a body comes
    qint64 body_due_ = 0;     // bytes still due within this window
};

}  // namespace vantor
