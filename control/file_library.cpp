#include "control/file_library.h"

#include "control/api_fields.h"
#include "imagery/animation_facts.h"
#include "imagery/animation_load.h"
#include "imagery/animation_source.h"
#include "imagery/frame_list.h"
#include "imagery/image_decoder.h"
#include "imagery/regular_file.h"
#include "imagery/visible_pixels.h"
#include "imagery/sequence_texts.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryFile>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace vantor {
namespace {

using Method = QHttpServerRequest::Method;

constexpr QLatin1StringView kFilesPath("/api/files");
constexpr int kThumbWidth = 160, kThumbHeight = 90;
// Uploads are written as .upload-PID-XXXXXX.EXT: the extension tells a movie, the process id
// whose upload it is, so a copy sharing the folder never removes one still being written.
constexpr QLatin1StringView kUploadPrefix(".upload-");
constexpr qsizetype kLongestKeptExtension = 16;

// Only a plain name inside the folder: nothing that climbs out of it or hides in it.
bool PlainName(const QString& name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(QLatin1StringView("..")) &&
           !name.startsWith(u'.') && !HasControlCharacters(name) && name.toUtf8().size() <= 255;
}

// Uploads that a copy no longer running left half checked (a crash, a kill): nothing finishes them.
void RemoveLeftUploads(const QString& folder)
{
    const QDir dir(folder);
    for (const QString& left : dir.entryList({kUploadPrefix + u'*'}, QDir::Files | QDir::Hidden | QDir::System)) {
        bool numbered = false;
        const pid_t writer = left.mid(kUploadPrefix.size()).section(u'-', 0, 0).toInt(&numbered);
        if (!numbered || writer <= 0 || (kill(writer, 0) != 0 && errno == ESRCH))
            QFile::remove(dir.filePath(left));
    }
}

// 0 once all of `bytes` is written to `fd`, else the errno that stopped it.
int WriteAll(int fd, const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t wrote = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (wrote < 0 && errno != EINTR)
            return errno;
        done += std::max<ssize_t>(wrote, 0);
    }
    return 0;
}

ApiReply WriteFailure(const QString& name, const QString& folder, int error)
{
    if (error == ENOSPC || error == EDQUOT)
        return ApiReply::Error(507, QStringLiteral("No space left on the files folder's disk"));
    return ApiReply::Error(500, QStringLiteral("%1 cannot be written in %2: %3")
                                    .arg(name, folder, QString::fromLocal8Bit(std::strerror(error))));
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

ApiReply Refused(int status, const QString& name, const QString& why)
{
    return ApiReply::Error(status, QStringLiteral("%1: %2").arg(name, why));
}

// Hands the file opened for the look at it to the decode, once: what decodes is what was looked at.
FileOpener OpenedOnce(std::shared_ptr<std::unique_ptr<QFile>> file)
{
    return [file](const QString&) { return std::move(*file); };
}

// The thumbnail of a file of the folder, as PNG, or why there is none. Every decode of the
// library reads within `memory`, as a load does.
ApiReply MakeThumbnail(const QString& name, const QString& path, const FileOpener& open, const MemoryGauge& memory)
{
    QImage picture;
    QString why;
    RgbaImage frame;  // a movie's or an animation's, which `picture` views
    if (IsAnimationFile(path)) {
        if (FirstVisibleFrame(path, memory, open, frame, why))
            picture = frame.decoded_bitmap;
    } else {
        picture = DecodeImageFile(path, memory, open);
        if (picture.isNull())
            why = DescribeLoadFailure(path, memory);
    }
    if (picture.isNull())
        return Refused(422, name, why);
    ApiReply thumbnail{200, Png(picture.scaled(kThumbWidth, kThumbHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation)),
                       "image/png"};
    const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32);
    if (!AnyVisiblePixel({pixels.constBits(), size_t(pixels.sizeInBytes())}))
        thumbnail.header = {kInvisibleHeader, "true"};
    return thumbnail;
}

// 200 when the written file loads as a load from the API would load it; otherwise why not.
ApiReply CheckUpload(const QString& name, const QString& written, const MemoryGauge& memory)
{
    QString why;
    if (IsAnimationFile(written))
        why = AnimationLoad(written, memory).Wait().failure;
    else if (DecodeImageFile(written, memory).isNull())
        why = DescribeLoadFailure(written, memory);
    return why.isEmpty() ? ApiReply{} : Refused(422, name, why);
}

}  // namespace

bool IsFilesPath(const QString& path) { return path == kFilesPath || path.startsWith(kFilesPath + u'/'); }

FileLibrary::FileLibrary(std::optional<QString> folder, MemoryGauge memory, LogoFileCheck is_logo_file,
                         QObject* parent)
    : QObject(parent), folder_(std::move(folder)), memory_(std::move(memory)), is_logo_file_(std::move(is_logo_file))
{
    if (folder_)
        RemoveLeftUploads(*folder_);
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
        return reply(only(Method::Get, path).value_or(ApiReply::Json(List())));
    if (parts.size() > 2 || (parts.size() == 2 && parts[1] != QLatin1StringView("thumb.png")))
        return reply(ApiReply::Error(404, QStringLiteral("no such request: %1").arg(path)));
    if (!PlainName(name))
        return reply(ApiReply::Error(400, QStringLiteral("\"%1\" is not a name for a file here: no /, no .., no "
                                                         "leading dot and no control characters").arg(name)));
    if (parts.size() == 2) {
        if (const auto wrong = only(Method::Get, QStringLiteral("/api/files/NAME/thumb.png")))
            return reply(*wrong);
        return Thumbnail(name, std::move(reply));
    }
    if (const auto wrong = only(Method::Put, QStringLiteral("/api/files/NAME")))
        return reply(*wrong);
    Store(name, body, std::move(reply));
}

FileLibrary::Seen FileLibrary::SeenOf(const struct stat& status)
{
    return {int64_t{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec, status.st_size, status.st_ino};
}

std::optional<FileLibrary::Facts> FileLibrary::FactsOf(const QString& path, const QString& name)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    const Seen seen = SeenOf(status);
    if (const auto kept = facts_.constFind(name); kept != facts_.cend() && kept->first == seen)
        return kept->second;
    std::optional<Facts> facts;
    if (IsAnimationFile(path)) {
        if (const auto animation = ProbeAnimationFile(path))
            facts = Facts{QSize(animation->width, animation->height), animation->frames};
    } else if (const auto size = DeclaredSize(path)) {
        facts = Facts{*size, 0};
    }
    facts_.insert(name, {seen, facts});
    return facts;
}

QJsonObject FileLibrary::List()
{
    const QFileInfoList entries =
        QDir(*folder_).entryInfoList(QDir::Files | QDir::NoSymLinks | QDir::Readable, QDir::Name);
    struct Listed {
        QString name;
        qint64 bytes;
        Facts facts;
    };
    std::vector<Listed> listed;
    QSet<QString> present, pictures;  // only still pictures make numbered runs, as a load reads them
    for (const QFileInfo& entry : entries) {
        present.insert(entry.fileName());
        if (const auto facts = FactsOf(entry.filePath(), entry.fileName())) {
            listed.push_back({entry.fileName(), entry.size(), *facts});
            if (facts->frames == 0)
                pictures.insert(entry.fileName());
        }
    }
    // What was kept of files gone goes with them.
    facts_.removeIf([&present](const auto& kept) { return !present.contains(kept.key()); });
    thumbs_.removeIf([&present](const auto& kept) { return !present.contains(kept.key()); });
    QHash<QString, QString> first_of;
    QHash<QString, int> run_frames;
    for (const QString& picture : pictures)
        ++run_frames[FirstOfRun(*folder_, picture, pictures, first_of)];
    QJsonArray files;
    for (const Listed& one : listed) {
        QJsonObject file{{QStringLiteral("name"), one.name},
                         {QStringLiteral("size"), one.bytes},
                         {QStringLiteral("width"), one.facts.size.width()},
                         {QStringLiteral("height"), one.facts.size.height()}};
        const QString first = first_of.value(one.name);
        if (one.facts.frames > 0) {
            file.insert(QStringLiteral("frames"), one.facts.frames);
            file.insert(QStringLiteral("animated"), true);
        } else if (first != one.name) {
            file.insert(QStringLiteral("run"), first);
        } else if (run_frames.value(first) > 1) {
            file.insert(QStringLiteral("frames"), run_frames.value(first));
        }
        files.append(file);
    }
    return {{QStringLiteral("folder"), *folder_}, {QStringLiteral("files"), files}};
}

void FileLibrary::Thumbnail(const QString& name, ReplyTo reply)
{
    const QString path = *folder_ + u'/' + name;
    bool led_out = false;
    auto file = std::make_shared<std::unique_ptr<QFile>>(OpenRegularFileBeneath(*folder_, path, &led_out));
    struct stat status {};
    if (!*file || ::fstat((*file)->handle(), &status) != 0) {
        // A name that leads out of the folder answers as one that names nothing: it tells
        // nothing of what is outside.
        if (led_out || !QFileInfo::exists(path))
            return reply(Refused(404, name, QString::fromLatin1(kFailureMissing)));
        return reply(Refused(422, name, DescribeLoadFailure(path)));
    }
    const Seen seen = SeenOf(status);
    if (const auto kept = thumbs_.constFind(name); kept != thumbs_.cend() && kept->first == seen)
        return reply(kept->second);
    if (const auto waiting = thumbs_waiting_.find(name); waiting != thumbs_waiting_.end())
        return waiting->push_back(std::move(reply));  // the decode under way answers this one too
    if (thumbs_waiting_.size() >= kMaxThumbnailDecodes) {
        ApiReply busy = ApiReply::Error(503, QStringLiteral("the copy is busy making other thumbnails: ask again in "
                                                            "%1 seconds").arg(kThumbnailRetryAfter_s));
        busy.header = {"Retry-After", QByteArray::number(kThumbnailRetryAfter_s)};
        return reply(busy);
    }
    thumbs_waiting_[name].push_back(std::move(reply));
    thread_.Run([this, name, path, seen, file, memory = memory_]() -> DecodeThread::Then {
        const ApiReply made = MakeThumbnail(name, path, OpenedOnce(file), memory);
        return [this, name, seen, made] {
            thumbs_.insert(name, {seen, made});
            for (const ReplyTo& waiting : thumbs_waiting_.take(name))
                waiting(made);
        };
    });
}

void FileLibrary::Store(const QString& name, const QByteArray& body, ReplyTo reply)
{
    if (body.isEmpty())
        return reply(ApiReply::Error(400, QStringLiteral("the body is empty: send the file as it is")));
    const QString extension = QFileInfo(name).suffix();
    // Hidden while it is written and checked, so neither the list nor a load sees half a file.
    QTemporaryFile written(*folder_ + u'/' + kUploadPrefix + QString::number(getpid()) + QStringLiteral("-XXXXXX") +
                           (extension.isEmpty() || extension.size() > kLongestKeptExtension ? QString()
                                                                                             : u'.' + extension));
    if (!written.open())
        return reply(WriteFailure(name, *folder_, errno));
    if (const int error = WriteAll(written.handle(), body))
        return reply(WriteFailure(name, *folder_, error));
    written.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    written.setAutoRemove(false);
    const QString hidden = written.fileName();
    written.close();
    thread_.Run([this, name, hidden, memory = memory_, reply = std::move(reply)]() -> DecodeThread::Then {
        return [this, name, hidden, reply, checked = CheckUpload(name, hidden, memory)] {
            if (checked.status != 200) {
                QFile::remove(hidden);
                return reply(checked);
            }
            // rename(2) replaces a file of the same name at once: a load sees the old or the new.
            const QString target = *folder_ + u'/' + name;
            if (std::rename(QFile::encodeName(hidden).constData(), QFile::encodeName(target).constData()) != 0) {
                const QString why = QString::fromLocal8Bit(std::strerror(errno));
                QFile::remove(hidden);
                return reply(ApiReply::Error(409, QStringLiteral("%1 cannot be stored: %2").arg(name, why)));
            }
            QJsonObject stored = List();
            stored.insert(QStringLiteral("replaces_on_air"), is_logo_file_ && is_logo_file_(target));
            reply(ApiReply::Json(stored));
        };
    });
}

}  // namespace vantor
