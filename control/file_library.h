#pragma once
// The pictures and movies of the folder named by --control-files, for the page and the API: the
// list with each file's size, a small thumbnail, and storing an uploaded file. A file is stored
// only once it loads as the copy would load it, and never half: it is written under a hidden
// temporary name in the folder and renamed over its own name at the end (hidden files a crash
// left are removed at start). Without the folder, every request answers 404 and says how to
// have one. What decodes (a thumbnail, an upload's check) runs on a thread of the library's
// own, one file at a time, so a huge picture never holds up the window, the API or the page;
// requests for one thumbnail wait on one decode, thumbnails made or refused are kept while the
// file keeps its time and size, and only a few decodes wait at once (503 beyond them).
//   GET /api/files                  {"folder", "files": [{"name", "size", "width", "height",
//                                    "frames" (a movie, an animation or the first of a numbered
//                                    run), "animated" (a movie or an animation), "run" (a later
//                                    picture of a run)}]}
//   GET /api/files/NAME/thumb.png   at most 160 x 90; of a movie or an animation, its first
//                                   frame that shows anything
//   PUT /api/files/NAME             the file as the body; answers the new list, and
//                                   "replaces_on_air": whether it replaced a file of the logo the
//                                   copy has loaded, which keeps the old picture until loaded again
// A thumbnail of a picture with no pixel that shows (every alpha 0) says so in a header,
// kInvisibleHeader: the page can ask before such a picture goes on air.

#include "control/api_reply.h"
#include "imagery/decode_thread.h"
#include "imagery/memory_gauge.h"

#include <QByteArray>
#include <QHash>
#include <QHttpServerRequest>
#include <QJsonObject>
#include <QObject>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

struct stat;

namespace vantor {

// Thumbnails being made or waiting to be, at most; another answers 503.
inline constexpr int kMaxThumbnailDecodes = 4;
inline constexpr int kThumbnailRetryAfter_s = 5;

// Whether a path is one of the library's; such requests are answered by FileLibrary::Answer.
bool IsFilesPath(const QString& path);

inline constexpr char kInvisibleHeader[] = "X-Picture-Invisible";

// Whether a file of the folder, by its full path, is one the copy's logo was loaded from.
using LogoFileCheck = std::function<bool(const QString& path)>;

class FileLibrary : public QObject {
public:
    // memory: what the machine can still give, for each file decoded.
    explicit FileLibrary(std::optional<QString> folder, MemoryGauge memory = AvailableMemoryBytes,
                         LogoFileCheck is_logo_file = {}, QObject* parent = nullptr);

    // `path` as the request names it, still percent-encoded. `reply` runs on this object's
    // thread, at once or once a file has decoded.
    void Answer(QHttpServerRequest::Method method, const QString& path, const QByteArray& body, ReplyTo reply);

private:
    QJsonObject List();
    void Thumbnail(const QString& name, ReplyTo reply);
    void Store(const QString& name, const QByteArray& body, ReplyTo reply);

    // A file as it was seen: what was made of it holds while it stays so.
    struct Seen {
        int64_t modified_ns = 0;
        int64_t bytes = 0;
        uint64_t inode = 0;
        bool operator==(const Seen&) const = default;
    };
    static Seen SeenOf(const struct stat& status);
    // What the list says of a file: nothing for a file the copy does not load.
    struct Facts {
        QSize size;
        int32_t frames = 0;  // of a movie or an animation; 0 for a picture
    };
    std::optional<Facts> FactsOf(const QString& path, const QString& name);

    const std::optional<QString> folder_;
    const MemoryGauge memory_;
    const LogoFileCheck is_logo_file_;
    QHash<QString, std::pair<Seen, std::optional<Facts>>> facts_;
    QHash<QString, std::pair<Seen, ApiReply>> thumbs_;  // made or refused
    QHash<QString, std::vector<ReplyTo>> thumbs_waiting_;  // by the name being decoded
    DecodeThread thread_{*this};
};

}  // namespace vantor
