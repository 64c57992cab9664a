#pragma once
// An answer of the control API: a status and a body with its type. Errors are JSON too,
// {"error": "what is wrong"}, so a script always has something to read.

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <utility>

namespace vantor {

struct ApiReply {
    int status = 200;
    QByteArray body;
    QByteArray type = "application/json";
    std::pair<QByteArray, QByteArray> header = {};  // one more header, when named

    static ApiReply Json(const QJsonObject& object, int status = 200);
    static ApiReply Error(int status, const QString& message);
};

// Answers that come later (a picture being taken, a run being loaded) are given to this.
using ReplyTo = std::function<void(const ApiReply&)>;

}  // namespace vantor
