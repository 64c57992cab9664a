#pragma once
// The control API over HTTP (Qt's QHttpServer), and its web page. Off unless asked for; on
// 127.0.0.1 unless an address is given, and then only with a token, which every request but the
// page's files must carry (Authorization: Bearer ...; control/token_gate.h); an address that gives
// many wrong tokens is refused for a while, the right token included (429, with the seconds left
// in Retry-After). A POST's body is JSON, and says so (Content-Type: application/json). Requests
// come in on the user-interface thread and are answered by the ControlApi, in order on each
// connection; the HTTP server, never the engine, holds the connections.
//   GET  /                    the page (and /page.js, /page.css)
//   GET  /api/state           the copy's state
//   POST /api/start, /api/stop, /api/go
//   POST /api/overlay         {"file", "on", "corner", "x", "y", "solid"}; offsets that leave no
//                             pixel of the logo in the frame are refused (control/offset_rule.h)
//   POST /api/format          {"size", "rate"}
//   POST /api/playback        {"mode", "pause", "unit", "one_shot"}
//   POST /api/role            {"role"}: master, slave or none
//   GET  /api/output.png      the output, at most 640 pixels wide, with its alpha
//   GET  /api/files, /api/files/NAME/thumb.png, PUT /api/files/NAME   (control/file_library.h)
//   GET  /metrics             the copy's figures in the Prometheus text format

#include "control/api_reply.h"
#include "control/control_settings.h"
#include "control/request_head.h"
#include "control/token_gate.h"

#include <QHttpServer>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace vantor {

class ConnectionGuard;
class ControlApi;

class ControlServer : public QObject {
    Q_OBJECT

public:
    ControlServer(ControlApi& api, ControlEndpoint endpoint, std::optional<QString> token, QObject* parent = nullptr);

    // Listens; false, with the reason, when the address cannot be had.
    bool Listen(QString& why);
    quint16 port() const;

private:
    void Answer(const QHttpServerRequest& request, QHttpServerResponder&& responder);
    // Why the request may not go on; nothing when it may.
    std::optional<ApiReply> Refusal(const QHttpServerRequest& request, qint64 body_limit = kMaxRequestBody);

    using Handler = std::function<void(const QJsonObject& body, QHttpServerResponder&& responder)>;
    struct ApiRoute {
        QString path;
        QHttpServerRequest::Method method;
        Handler handle;
    };
    Handler AnsweredAtOnce(ApiReply (ControlApi::*request)(const QJsonObject&));

    ControlApi& api_;
    const ControlEndpoint endpoint_;
    TokenGate gate_;
    std::vector<ApiRoute> routes_;
    QHttpServer http_;
    ConnectionGuard* guard_;  // owned by the HTTP server once bound
};

}  // namespace vantor
