#pragma once
// The pictures of the folder named by --control-files, for the page and the API: the list with
// each picture's size, a small thumbnail, and storing an uploaded picture. A file is stored only
// once it decodes as a picture the copy could load, and never half: it is written under a hidden
// temporary name in the folder and renamed over its own name at the end. Without the folder,
// every request answers 404 and says how to have one. What decodes a picture (a thumbnail, an
// upload's check) runs on a thread of the library's own, one picture at a time, so a huge
// picture never holds up the window, the API or the page.
//   GET /api/files                  {"folder", "files": [{"name", "size", "width", "height",
//                                    "frames" (the first of a numbered run), "run" (a later one)}]}
//   GET /api/files/NAME/thumb.png   at most 160 x 90
//   PUT /api/files/NAME             the file as the body; answers the new list, and
//                                   "replaces_on_air": whether it replaced a file of the logo the
//                                   copy has loaded, which keeps the old picture until loaded again
// A thumbnail of a picture with no pixel that shows (every alpha 0) says so in a header,
// kInvisibleHeader: the page can ask before such a picture goes on air.

#include "control/api_reply.h"
#include "imagery/decode_thread.h"
#include "imagery/memory_gauge.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QHttpServerRequest>
#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace vantor {

// Whether a path is one of the library's; such requests are answered by FileLibrary::Answer.
bool IsFilesPath(const QString& path);

inline constexpr char kInvisibleHeader[] = "X-Picture-Invisible";

// Whether a file of the folder, by its full path, is one the copy's logo was loaded from.
using LogoFileCheck = std::function<bool(const QString& path)>;

class FileLibrary : public QObject {
public:
    // memory: what the machine can still give, for each picture decoded.
    explicit FileLibrary(std::optional<QString> folder, MemoryGauge memory = AvailableMemoryBytes,
                         LogoFileCheck is_logo_file = {}, QObject* parent = nullptr);

    // `path` as the request names it, still percent-encoded. `reply` runs on this object's
    // thread, at once or once a picture has decoded.
    void Answer(QHttpServerRequest::Method method, const QString& path, const QByteArray& body, ReplyTo reply);

private:
    QJsonObject List() const;
    void Thumbnail(const QString& name, ReplyTo reply);
    void Store(const QString& name, const QByteArray& body, ReplyTo reply);
    // Runs `work` on the library's thread, then `then` with what it made on this object's.
    void Aside(std::function<ApiReply()> work, std::function<void(const ApiReply&)> then);

    // Thumbnails made, by name, while the file keeps its time and size: a list shown again
    // decodes nothing.
    struct Thumb {
        QDateTime modified;
        qint64 bytes = 0;
        ApiReply answer;  // the picture, and whether it shows at all
    };
    const std::optional<QString> folder_;
    const MemoryGauge memory_;
    const LogoFileCheck is_logo_file_;
    QHash<QString, Thumb> thumbs_;
    DecodeThread thread_;  // last: waits for the picture at hand before the rest goes
};

}  // namespace vantor
