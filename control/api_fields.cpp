#include "control/api_fields.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace vantor {

bool HasControlCharacters(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

ApiFields::ApiFields(const QJsonObject& body, std::initializer_list<const char*> known) : body_(body)
{
    QStringList names;
    for (const char* name : known)
        names << QString::fromLatin1(name);
    for (const QString& key : body.keys())
        if (!names.contains(key))
            Fail(names.isEmpty() ? QStringLiteral("this request takes no fields, not \"%1\"").arg(key)
                                 : QStringLiteral("unknown field \"%1\"; the fields are %2")
                                       .arg(key, names.join(QStringLiteral(", "))));
}

std::optional<bool> ApiFields::Flag(const char* name)
{
    const QJsonValue value = body_.value(QLatin1StringView(name));
    if (value.isUndefined())
        return std::nullopt;
    if (!value.isBool()) {
        Fail(QStringLiteral("%1 takes true or false").arg(QLatin1StringView(name)));
        return std::nullopt;
    }
    return value.toBool();
}

std::optional<int32_t> ApiFields::Number(const char* name, int32_t min, int32_t max)
{
    const QJsonValue value = body_.value(QLatin1StringView(name));
    if (value.isUndefined())
        return std::nullopt;
    const double number = value.toDouble();
    if (!value.isDouble() || !(number >= min && number <= max) || number != std::trunc(number)) {
        Fail(QStringLiteral("%1 takes a whole number from %2 to %3").arg(QLatin1StringView(name)).arg(min).arg(max));
        return std::nullopt;
    }
    return int32_t(number);
}

std::optional<QString> ApiFields::Text(const char* name)
{
    const QJsonValue value = body_.value(QLatin1StringView(name));
    if (value.isUndefined())
        return std::nullopt;
    if (!value.isString()) {
        Fail(QStringLiteral("%1 takes a text").arg(QLatin1StringView(name)));
        return std::nullopt;
    }
    return value.toString();
}

void ApiFields::Fail(const QString& problem)
{
    if (problem_.isEmpty())
        problem_ = problem;
}

}  // namespace vantor
