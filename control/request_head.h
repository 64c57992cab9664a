#pragma once
// The requests on one connection of the control API, followed as their bytes arrive and before
// the HTTP server reads them: each head whole, so its token and its length are known before a
// byte of its body is taken, and the bodies only counted. Stricter than the HTTP server, so the
// two never read a connection's requests differently: what they could (a bare line feed, a
// folded header, a second length or token, a chunked body) is refused.

#include "control/api_reply.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace vantor {

// A body of 64 KB and its headers.
inline constexpr qint64 kMaxRequestBody = 64 * 1024;
inline constexpr qint64 kMaxHeaderBytes = 16 * 1024;
// A picture uploaded to the files folder (PUT /api/files/NAME) may be larger; one upload at a
// time (503 for another).
inline constexpr qint64 kMaxUploadBody = 64 * 1024 * 1024;

struct RequestHead {
    QByteArray method;
    QByteArray path;           // the target before any query
    QByteArray authorization;  // empty when none was given
    qint64 body_bytes = 0;

    bool upload() const { return method == "PUT" && path.startsWith("/api/files/"); }
    qint64 body_limit() const { return upload() ? kMaxUploadBody : kMaxRequestBody; }
};

// "64 KB", "64 MB": a body's limit as the 413 answer says it.
QString LimitWords(qint64 body_bytes);

class RequestFraming {
public:
    // What bytes of a head came to: all taken with the head not yet whole, a whole head (the
    // bytes up to its end taken), or a refusal.
    struct Taken {
        qsizetype used = 0;
        std::optional<RequestHead> head;
        std::optional<ApiReply> refusal;
    };
    Taken TakeHead(QByteArrayView bytes);
    // Of `available` bytes, those the body still due takes.
    qint64 TakeBody(qint64 available);
    qint64 body_left() const { return body_left_; }

private:
    QByteArray partial_;  // of the head being read
    qint64 body_left_ = 0;
};

}  // namespace vantor
