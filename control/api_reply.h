#pragma once
// An answer of the control API: a status and a body with its type. Errors are JSON too,
// {"error": "what is wrong"}, so a script always has something to read.

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <functional>

namespace vantor {

struct ApiReply {
    int status = 200;
    QByteArray body;
    QByteArray type = "application/json";
    int retry_after_s = 0;  // said as Retry-After when above 0: the copy is busy, ask again then

    static ApiReply Json(const QJsonObject& object, int status = 200);
    static ApiReply Error(int status, const QString& message);
};

// Answers that come later (a picture being taken, a run being loaded) are given to this.
using ReplyTo = std::function<void(const ApiReply&)>;

}  // namespace vantor
