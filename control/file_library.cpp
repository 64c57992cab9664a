#include "control/file_library.h"

#include "imagery/frame_list.h"
#include "imagery/image_decoder.h"
#include "imagery/regular_file.h"
#include "imagery/thumbnail.h"

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

// The thumbnail of a picture of the folder, as PNG, or why there is none.
ApiReply MakeThumbnail(const QString& folder, const QString& name, bool linked, const MemoryGauge& memory)
{
    const QString path = folder + u'/' + name;
    // Opened beneath the folder: a link in it that leads out shows nothing of what it leads to.
    const FileOpener beneath = [folder](const QString& inside) { return OpenRegularFileBeneath(folder, inside); };
    const QImage picture = DecodeThumbnailPicture(path, memory, beneath);
    if (picture.isNull())
        return ApiReply::Error(422, QStringLiteral("%1: %2").arg(name, linked ? QStringLiteral("This is not a picture of the folder.")
                                                                              : DescribeLoadFailure(path, memory)));
    return {200, Png(picture.scaled(kThumbWidth, kThumbHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation)),
            "image/png"};
}

// 200 when the written file decodes as a picture the copy could load; otherwise why not.
ApiReply CheckUpload(const QString& name, const QString& written, const MemoryGauge& memory)
{
    if (!DecodeImageFile(written, memory).isNull())
        return {};
    return ApiReply::Error(422, QStringLiteral("%1: %2").arg(name, DescribeLoadFailure(written, memory)));
}

}  // namespace

bool IsFilesPath(const QString& path) { return path == kFilesPath || path.startsWith(kFilesPath + u'/'); }

FileLibrary::FileLibrary(std::optional<QString> folder, MemoryGauge memory, QObject* parent)
    : QObject(parent), folder_(std::move(folder)), memory_(std::move(memory))
{
}

void FileLibrary::Aside(std::function<ApiReply()> work, std::function<void(const ApiReply&)> then)
{
    thread_.Run([this, work = std::move(work), then = std::move(then)]() mutable {
        QMetaObject::invokeMethod(this, [then = std::move(then), made = work()] { then(made); }, Qt::QueuedConnection);
    });
}

void FileLibrary::Answer(Method method, const QString& path, const QByteArray& body, ReplyTo reply)
{
    if (!folder_)
        return reply(ApiReply::Error(404, QStringLiteral("there is no files folder: start the copy with --control-files "
                                                         "DIR (key control-files= in a setup file) to list and upload "
                                                         "pictures")));
    const QStringList parts = path.mid(kFilesPath.size() + 1).split(u'/');
    const QString name = QUrl::fromPercentEncoding(parts.front().toUtf8());
    const auto only = [&](Method allowed, const QString& what) -> std::optional<ApiReply> {
        if (method == allowed)
            return std::nullopt;
        return ApiReply::Error(405, QStringLiteral("%1 takes %2 only").arg(what, MethodWord(allowed)));
    };
    if (path == kFilesPath)
        return reply(only(Method::Get, path).value_or(List()));
    if (parts.size() > 2 || (parts.size() == 2 && parts[1] != QLatin1StringView("thumb.png")))
        return reply(ApiReply::Error(404, QStringLiteral("no such request: %1").arg(path)));
    if (!PlainName(name))
        return reply(ApiReply::Error(400, QStringLiteral("\"%1\" is not a name for a file here: no /, no .. and no "
                                                         "leading dot").arg(name)));
    if (parts.size() == 2) {
        if (const auto wrong = only(Method::Get, QStringLiteral("/api/files/NAME/thumb.png")))
            return reply(*wrong);
        return Thumbnail(name, std::move(reply));
    }
    if (const auto wrong = only(Method::Put, QStringLiteral("/api/files/NAME")))
        return reply(*wrong);
    Store(name, body, std::move(reply));
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

void FileLibrary::Thumbnail(const QString& name, ReplyTo reply)
{
    const QFileInfo file(*folder_ + u'/' + name);
    if (!file.exists())
        return reply(ApiReply::Error(404, QStringLiteral("%1: %2").arg(name, DescribeLoadFailure(file.filePath()))));
    const Thumb seen{file.lastModified(), file.size(), {}};
    if (const auto kept = thumbs_.constFind(name);
        kept != thumbs_.cend() && kept->modified == seen.modified && kept->bytes == seen.bytes)
        return reply({200, kept->png, "image/png"});
    Aside([folder = *folder_, name, linked = file.isSymLink(), memory = memory_] {
              return MakeThumbnail(folder, name, linked, memory);
          },
          [this, name, seen, reply = std::move(reply)](const ApiReply& made) {
              if (made.status == 200)
                  thumbs_.insert(name, {seen.modified, seen.bytes, made.body});
              else
                  thumbs_.remove(name);
              reply(made);
          });
}

void FileLibrary::Store(const QString& name, const QByteArray& body, ReplyTo reply)
{
    if (body.isEmpty())
        return reply(ApiReply::Error(400, QStringLiteral("the body is empty: send the picture file as it is")));
    // Hidden while it is written and checked, so neither the list nor a load sees half a picture.
    QTemporaryFile written(*folder_ + QStringLiteral("/.upload-XXXXXX"));
    if (!written.open() || written.write(body) != body.size() || !written.flush())
        return reply(ApiReply::Error(507, QStringLiteral("%1 cannot be written in %2: %3")
                                              .arg(name, *folder_, written.errorString())));
    written.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    written.setAutoRemove(false);
    const QString hidden = written.fileName();
    written.close();
    Aside([name, hidden, memory = memory_] { return CheckUpload(name, hidden, memory); },
          [this, name, hidden, reply = std::move(reply)](const ApiReply& checked) {
              if (checked.status != 200) {
                  QFile::remove(hidden);
                  return reply(checked);
              }
              // rename(2) replaces a picture of the same name at once: a load sees the old or the new.
              const QString target = *folder_ + u'/' + name;
              if (std::rename(QFile::encodeName(hidden).constData(), QFile::encodeName(target).constData()) != 0) {
                  const QString why = QString::fromLocal8Bit(std::strerror(errno));
                  QFile::remove(hidden);
                  return reply(ApiReply::Error(409, QStringLiteral("%1 cannot be stored: %2").arg(name, why)));
              }
              reply(List());
          });
}

}  // namespace vantor
