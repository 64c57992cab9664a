#include "control/remembered_place.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace vantor {
namespace {

QString FileName(int32_t instance_number) { return QStringLiteral("copy%1.conf").arg(instance_number + 1); }

// The service manager names the one folder a service may write ($STATE_DIRECTORY, the first
// of a list); otherwise the XDG rules, which take no relative value.
QString StateFolder()
{
    const QString managed = qEnvironmentVariable("STATE_DIRECTORY").section(u':', 0, 0);
    if (QDir::isAbsolutePath(managed))
        return managed + u'/';
    const QString given = qEnvironmentVariable("XDG_STATE_HOME");
    if (!given.isEmpty() && QDir::isAbsolutePath(given))
        return given + QStringLiteral("/ndivantor/");
    return QDir::homePath() + QStringLiteral("/.local/state/ndivantor/");
}

QString OldRememberedSetupPath(int32_t instance_number)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/ndivantor/") +
           FileName(instance_number);
}

bool SameFile(const QString& a, const QString& b)
{
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

}  // namespace

QString RememberedSetupPath(int32_t instance_number)
{
    return StateFolder() + FileName(instance_number);
}

QString AdoptOldRememberedSetup(int32_t instance_number, const std::optional<QString>& config_path)
{
    const QString old_path = OldRememberedSetupPath(instance_number);
    const QString new_path = RememberedSetupPath(instance_number);
    if (QFileInfo::exists(new_path) || !QFileInfo(old_path).isFile())
        return {};
    if (!QFileInfo(new_path).absoluteDir().mkpath(QStringLiteral(".")))
        return new_path + QStringLiteral(": its folder cannot be made");
    // A service sees the old folder read-only: there the file is copied and left.
    const bool keep_old = config_path && SameFile(*config_path, old_path);
    if ((!keep_old && QFile::rename(old_path, new_path)) || QFile::copy(old_path, new_path))
        return {};
    return QStringLiteral("%1 cannot be moved to %2").arg(old_path, new_path);
}

}  // namespace vantor
