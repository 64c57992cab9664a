#pragma once
// The pictures of the folder named by --control-files, for the page and the API: the list with
// each picture's size, a small thumbnail, and storing an uploaded picture. A file is stored only
// once it decodes as a picture the copy could load, and never half: it is written under a hidden
// temporary name in the folder and renamed over its own name at the end. Without the folder,
// every request answers 404 and says how to have one.
//   GET /api/files                  {"folder", "files": [{"name", "size", "width", "height",
//                                    "frames" (the first of a numbered run), "run" (a later one)}]}
//   GET /api/files/NAME/thumb.png   at most 160 x 90
//   PUT /api/files/NAME             the file as the body; answers the new list

#include "control/api_reply.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QHttpServerRequest>
#include <QString>

#include <optional>

namespace vantor {

// Whether a path is one of the library's; such requests are answered by FileLibrary::Answer.
bool IsFilesPath(const QString& path);

class FileLibrary {
public:
    explicit FileLibrary(std::optional<QString> folder) : folder_(std::move(folder)) {}

    // `path` as the request names it, still percent-encoded.
    ApiReply Answer(QHttpServerRequest::Method method, const QString& path, const QByteArray& body);

private:
    ApiReply List() const;
    ApiReply Thumbnail(const QString& name);
    ApiReply Store(const QString& name, const QByteArray& body) const;

    // Thumbnails made, by name, while the file keeps its time and size: a list shown again
    // decodes nothing.
    struct Thumb {
        QDateTime modified;
        qint64 bytes = 0;
        QByteArray png;
    };
    const std::optional<QString> folder_;
    QHash<QString, Thumb> thumbs_;
};

}  // namespace vantor
