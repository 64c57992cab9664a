#include "control/file_library.h"

#include "imagery/frame_list.h"
#include "imagery/image_decoder.h"
#include "imagery/regular_file.h"

#include <QBuffer>
#include <QDir>
#include <QHash>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryFile>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vantor {
namespace {

using Method = QHttpServerRequest::Method;

constexpr QLatin1StringView kFilesPath("/api/files");
constexpr int kThumbWidth = 160, kThumbHeight = 90;

// Only a plain name inside the folder: nothing that climbs out of it or hides in it.
bool PlainName(const QString& name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(QLatin1StringView("..")) &&
           !name.startsWith(u'.') && !name.contains(QChar(0)) && name.toUtf8().size() <= 255;
}

// The size a picture file declares, read from its header alone; nothing for any other file.
std::optional<QSize> DeclaredSize(const QString& path)
{
    const std::unique_ptr<QFile> file = OpenRegularFile(path);
    if (!file)
        return std::nullopt;
    QImageReader reader(file.get());
    const QSize size = reader.canRead() ? reader.size() : QSize();
    return size.isValid() ? std::optional(size) : std::nullopt;
}

// The picture listed just before `name` in its numbered run; nothing when there is none.
std::optional<QString> Before(const QString& folder, const QString& name, const QSet<QString>& names)
{
    SequenceName run;
    if (!AnalyseSequenceName(folder + u'/' + name, run) || run.first_number == 0)
        return std::nullopt;
    const QString before = QFileInfo(SequenceFramePath(run, run.first_number - 1)).fileName();
    return names.contains(before) ? std::optional(before) : std::nullopt;
}

// The file that starts the numbered run `name` belongs to, among `names`; `name` itself when
// nothing comes before it. Answers are kept, so a long run is walked once.
QString FirstOfRun(const QString& folder, const QString& name, const QSet<QString>& names,
                   QHash<QString, QString>& first_of)
{
    QStringList walked{name};
    QString first = name;
    while (!first_of.contains(first)) {
        const auto before = Before(folder, first, names);
        if (!before)
            break;
        first = *before;
        walked << first;
    }
    first = first_of.value(first, first);
    for (const QString& one : walked)
        first_of.insert(one, first);
    return first;
}

QByteArray Png(const QImage& picture)
{
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    picture.save(&out, "PNG");
    return bytes;
}

QString MethodWord(Method method) { return method == Method::Put ? QStringLiteral("PUT") : QStringLiteral("GET"); }

}  // namespace

bool IsFilesPath(const QString& path) { return path == kFilesPath || path.startsWith(kFilesPath + u'/'); }

ApiReply FileLibrary::Answer(Method method, const QString& path, const QByteArray& body)
{
    if (!folder_)
        return ApiReply::Error(404, QStringLiteral("there is no files folder: start the copy with --control-files DIR "
                                                   "(key control-files= in a setup file) to list and upload pictures"));
    const QStringList parts = path.mid(kFilesPath.size() + 1).split(u'/');
    const QString name = QUrl::fromPercentEncoding(parts.front().toUtf8());
    const auto only = [&](Method allowed, const QString& what) -> std::optional<ApiReply> {
        if (method == allowed)
            return std::nullopt;
        return ApiReply::Error(405, QStringLiteral("%1 takes %2 only").arg(what, MethodWord(allowed)));
    };
    if (path == kFilesPath) {
        if (const auto wrong = only(Method::Get, path))
            return *wrong;
        return List();
    }
    if (parts.size() > 2 || (parts.size() == 2 && parts[1] != QLatin1StringView("thumb.png")))
        return ApiReply::Error(404, QStringLiteral("no such request: %1").arg(path));
    if (!PlainName(name))
        return ApiReply::Error(400, QStringLiteral("\"%1\" is not a name for a file here: no /, no .. and no "
                                                   "leading dot").arg(name));
    if (parts.size() == 2) {
        if (const auto wrong = only(Method::Get, QStringLiteral("/api/files/NAME/thumb.png")))
            return *wrong;
        return Thumbnail(name);
    }
    if (const auto wrong = only(Method::Put, QStringLiteral("/api/files/NAME")))
        return *wrong;
    return Store(name, body);
}

ApiReply FileLibrary::List() const
{
    const QFileInfoList entries =
        QDir(*folder_).entryInfoList(QDir::Files | QDir::NoSymLinks | QDir::Readable, QDir::Name);
    struct Picture {
        QString name;
        qint64 bytes;
        QSize size;
    };
    std::vector<Picture> pictures;
    QSet<QString> names;
    for (const QFileInfo& entry : entries) {
        if (const auto size = DeclaredSize(entry.filePath())) {
            pictures.push_back({entry.fileName(), entry.size(), *size});
            names.insert(entry.fileName());
        }
    }
    QHash<QString, QString> first_of;
    QHash<QString, int> frames;
    for (const Picture& picture : pictures)
        ++frames[FirstOfRun(*folder_, picture.name, names, first_of)];
    QJsonArray files;
    for (const Picture& picture : pictures) {
        QJsonObject file{{QStringLiteral("name"), picture.name},
                         {QStringLiteral("size"), picture.bytes},
                         {QStringLiteral("width"), picture.size.width()},
                         {QStringLiteral("height"), picture.size.height()}};
        const QString first = first_of.value(picture.name);
        if (first != picture.name)
            file.insert(QStringLiteral("run"), first);
        else if (frames.value(first) > 1)
            file.insert(QStringLiteral("frames"), frames.value(first));
        files.append(file);
    }
    return ApiReply::Json({{QStringLiteral("folder"), *folder_}, {QStringLiteral("files"), files}});
}

ApiReply FileLibrary::Thumbnail(const QString& name)
{
    const QString path = *folder_ + u'/' + name;
    const QFileInfo file(path);
    if (!file.exists())
        return ApiReply::Error(404, QStringLiteral("%1: %2").arg(name, DescribeLoadFailure(path)));
    Thumb& thumb = thumbs_[name];
    if (thumb.png.isEmpty() || thumb.modified != file.lastModified() || thumb.bytes != file.size()) {
        // Opened beneath the folder: a link in it that leads out shows nothing of what it leads to.
        const FileOpener beneath = [this](const QString& inside) { return OpenRegularFileBeneath(*folder_, inside); };
        const QImage picture = DecodeImageFile(path, AvailableMemoryBytes, beneath);
        if (picture.isNull()) {
            thumbs_.remove(name);
            return ApiReply::Error(422, QStringLiteral("%1: %2").arg(
                                            name, file.isSymLink() ? QStringLiteral("This is not a picture of the folder.")
                                                                   : DescribeLoadFailure(path)));
        }
        thumb = {file.lastModified(), file.size(),
                 Png(picture.scaled(kThumbWidth, kThumbHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation))};
    }
    return {200, thumb.png, "image/png"};
}

ApiReply FileLibrary::Store(const QString& name, const QByteArray& body) const
{
    if (body.isEmpty())
        return ApiReply::Error(400, QStringLiteral("the body is empty: send the picture file as it is"));
    // Hidden while it is written, so neither the list nor a load sees half a picture.
    QTemporaryFile written(*folder_ + QStringLiteral("/.upload-XXXXXX"));
    if (!written.open() || written.write(body) != body.size() || !written.flush())
        return ApiReply::Error(507, QStringLiteral("%1 cannot be written in %2: %3")
                                        .arg(name, *folder_, written.errorString()));
    if (DecodeImageFile(written.fileName()).isNull())
        return ApiReply::Error(422, QStringLiteral("%1: %2").arg(name, DescribeLoadFailure(written.fileName())));
    written.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    written.close();
    // rename(2) replaces a picture of the same name at once: a load sees the old or the new.
    const QString target = *folder_ + u'/' + name;
    if (std::rename(QFile::encodeName(written.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
        return ApiReply::Error(409, QStringLiteral("%1 cannot be stored: %2").arg(name, QString::fromLocal8Bit(std::strerror(errno))));
    written.setAutoRemove(false);
    return List();
}

}  // namespace vantor
