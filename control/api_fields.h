#pragma once
// The fields of a control API request body, read with the words of the command line: every
// field is checked before anything is changed, and the first problem is kept to be answered.
// A field the request does not know is a problem too, so a misspelt name never passes silently.

#include <QJsonObject>
#include <QString>
#include <QStringView>

#include <initializer_list>
#include <optional>

namespace vantor {

// A control character in a name: a NUL ends the name the kernel sees early, so the name checked
// would not be the one opened, and the others have no place in a file's name.
bool HasControlCharacters(QStringView text);

class ApiFields {
public:
    ApiFields(const QJsonObject& body, std::initializer_list<const char*> known);

    std::optional<bool> Flag(const char* name);
    std::optional<int32_t> Number(const char* name, int32_t min, int32_t max);
    std::optional<QString> Text(const char* name);
    // A word one of the setup's readers takes; `accepted` says which.
    template <typename Reader>
    auto Word(const char* name, Reader read, QString (*accepted)()) -> decltype(read(QStringView()))
    {
        const auto text = Text(name);
        if (!text)
            return std::nullopt;
        const auto value = read(*text);
        if (!value)
            Fail(QStringLiteral("%1 takes %2, not \"%3\"").arg(QLatin1StringView(name), accepted(), *text));
        return value;
    }

    bool ok() const { return problem_.isEmpty(); }
    const QString& problem() const { return problem_; }

private:
    void Fail(const QString& problem);

    const QJsonObject& body_;
    QString problem_;
};

}  // namespace vantor
