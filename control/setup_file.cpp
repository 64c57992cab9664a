#include "control/setup_file.h"

#include "control/offset_rule.h"
#include "control/setup_keys.h"
#include "control/setup_words.h"
#include "imagery/regular_file.h"

#include <QFileInfo>
#include <QHash>
#include <QSaveFile>

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantor {
namespace {

// A setup is a few hundred bytes; anything much larger is not one.
constexpr qint64 kMaxFileBytes = 64 * 1024;

QString Unquoted(QStringView value)
{
    if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
        value = value.sliced(1, value.size() - 2);
    return value.toString();
}

class LineReader {
public:
    explicit LineReader(const QDir& base) : base_(base) {}

    // Empty when the line is good.
    QString Read(QStringView line, int number)
    {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';'))
            return {};
        if (line.startsWith(u'['))
            return QStringLiteral("sections are not used: write key=value lines");
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            return QStringLiteral("\"%1\" is not a key=value line").arg(line.toString());
        const QString name = line.left(equals).trimmed().toString();
        const SetupKey* key = FindSetupKey(name);
        if (!key)
            return QStringLiteral("unknown key \"%1\"; the keys are %2").arg(name, KeyNames());
        if (const int first = seen_.value(name); first > 0)
            return QStringLiteral("%1 is given twice (first on line %2)").arg(name).arg(first);
        if (key->is_role && !role_key_.isEmpty())
            return QStringLiteral("%1 and %2 (line %3) exclude each other").arg(name, role_key_).arg(seen_[role_key_]);
        seen_[name] = number;
        if (key->is_role)
            role_key_ = name;
        const QString value = Unquoted(line.sliced(equals + 1).trimmed());
        if (!key->read(value, base_, settings_))
            return ValueProblem(*key, name, value);
        return {};
    }

    const LaunchSettings& settings() const { return settings_; }
    int LineOf(const QString& name) const { return seen_.value(name); }

private:
    const QDir base_;
    LaunchSettings settings_;
    QHash<QString, int> seen_;  // key: its line
    QString role_key_;
};

}  // namespace

std::optional<LaunchSettings> ReadSetupFile(const QString& path, QString& error)
{
    const std::unique_ptr<QFile> file = OpenRegularFile(path);
    if (!file) {
        const QFileInfo info(path);
        error = path + (!info.exists() ? QStringLiteral(": no such file")
                        : info.isDir() ? QStringLiteral(": this is a folder, not a setup file")
                                       : QStringLiteral(": cannot be read"));
        return std::nullopt;
    }
    const QByteArray bytes = file->read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes) {
        error = path + QStringLiteral(": larger than a setup file can be (%1 KB)").arg(kMaxFileBytes / 1024);
        return std::nullopt;
    }
    LineReader reader(QFileInfo(path).absoluteDir());
    const QString text = QString::fromUtf8(bytes);
    int number = 0;
    for (QStringView line : QStringView(text).split(u'\n')) {
        const QString problem = reader.Read(line, ++number);
        if (!problem.isEmpty()) {
            error = QStringLiteral("%1:%2: %3").arg(path).arg(number).arg(problem);
            return std::nullopt;
        }
    }
    const QString offset = QStringLiteral("offset");
    if (const QString outside = SetupOffsetOutsideFrame(offset, reader.settings().setup); !outside.isEmpty()) {
        error = QStringLiteral("%1:%2: %3").arg(path).arg(reader.LineOf(offset)).arg(outside);
        return std::nullopt;
    }
    return reader.settings();
}

QString SetupFileText(const Setup& setup, const QString& comment)
{
    QString text = QStringLiteral("# ") + comment + QLatin1Char('\n');
    for (const SetupKey& key : SetupKeys())
        if (const QString value = key.write ? key.write(setup) : QString(); !value.isEmpty())
            text += QLatin1StringView(key.name) + QLatin1Char('=') + value + QLatin1Char('\n');
    return text;
}

bool WriteSetupFile(const QString& path, const QString& text, QString& error)
{
    if (!QFileInfo(path).absoluteDir().mkpath(QStringLiteral("."))) {
        error = path + QStringLiteral(": its folder cannot be made");
        return false;
    }
    // Unbuffered and synced before the rename: a buffered QSaveFile renames even when its last
    // flush failed (a full disk), which would put an empty or cut file in place of a good one.
    QSaveFile file(path);
    const QByteArray bytes = text.toUtf8();
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                         file.write(bytes) == bytes.size() && ::fsync(file.handle()) == 0;
    if (!written || !file.commit()) {
        error = path + QStringLiteral(": ") +
                (file.error() != QFileDevice::NoError ? file.errorString() : QString::fromLocal8Bit(std::strerror(errno)));
        file.cancelWriting();
        return false;
    }
    return true;
}

}  // namespace vantor
