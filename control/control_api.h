#pragma once
// The control API's requests with HTTP left aside: the copy's state as JSON, and each change,
// checked whole before anything is applied and applied through the copy's control, so that it
// reaches the output with the next frame as a change in the window does. Answers are JSON: the
// new state after a change, {"error": ...} with a 4xx status when the request is wrong, in
// which case nothing has changed. A change that takes in or puts on air a logo with no pixel that
// shows answers its state with "warning" saying so. Runs on the user-interface thread.

#include "control/api_reply.h"
#include "control/control_settings.h"
#include "control/file_library.h"
#include "imagery/regular_file.h"

#include <QByteArray>
#include <QJsonObject>
#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>

#include <optional>
#include <vector>

namespace vantor {

class CopyControl;
class Engine;
class InstanceSync;
struct OverlayState;
struct PlaybackState;
struct OverlayLoadResult;

// Where the API may load pictures from.
struct FileAccess {
    bool anywhere = true;           // any folder (the API answers this machine alone)
    std::optional<QString> folder;  // otherwise this folder alone; none at all without it
};

struct CopyParts {
    CopyControl& control;
    Engine& engine;
    const OverlayState& overlay;
    const PlaybackState& playback;
    const InstanceSync& sync;
};

class ControlApi : public QObject {
    Q_OBJECT

public:
    ControlApi(CopyParts parts, FileAccess files, QObject* parent = nullptr);

    QJsonObject State() const;
    ApiReply Start(const QJsonObject& body);
    ApiReply Stop(const QJsonObject& body);
    ApiReply Go(const QJsonObject& body);
    ApiReply Format(const QJsonObject& body);
    ApiReply Playback(const QJsonObject& body);
    // As the window's Master and Slave boxes: {"role": "master|slave|none"}.
    ApiReply Role(const QJsonObject& body);
    // A file loads as a whole run; the answer comes once it is in.
    void Overlay(const QJsonObject& body, ReplyTo reply);
    // The output as PNG with its alpha, at most 640 pixels wide; the answer comes with the
    // next frame sent.
    void OutputPicture(ReplyTo reply);
    // The pictures of the --control-files folder.
    FileLibrary& files() { return library_; }
    // The copy's figures for monitoring (metrics.h).
    ApiReply Metrics() const;

private:
    // Why the file may not load; nothing when it may, and `open` then opens the run's files,
    // the first already opened for the check.
    std::optional<ApiReply> FileRefusal(const QString& path, FileOpener& open) const;
    struct OverlayChange;
    ApiReply ApplyOverlay(const OverlayChange& change);
    ApiReply NewState() const { return ApiReply::Json(State()); }
    // The state after a change, which the window's preview shows for a while, as after the
    // Overlay setup: the window never shows a stale logo after a change from outside.
    ApiReply Changed(const QString& warning = {});
    // The file, by its full path, is one of those the loaded logo came from.
    bool IsLogoFile(const QString& path) const;
    void DeliverPicture(const QImage& picture);

    CopyParts parts_;
    const FileAccess files_;
    FileLibrary library_;
    std::vector<ReplyTo> waiting_for_picture_;
    QTimer picture_deadline_;  // a picture that never comes is answered all the same
};

}  // namespace vantor
