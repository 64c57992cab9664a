#include "control/api_reply.h"

#include <QJsonDocument>

namespace vantor {

ApiReply ApiReply::Json(const QJsonObject& object, int status)
{
    return {status, QJsonDocument(object).toJson(QJsonDocument::Compact), "application/json"};
}

ApiReply ApiReply::Error(int status, const QString& message)
{
    return Json({{QStringLiteral("error"), message}}, status);
}

}  // namespace vantor
