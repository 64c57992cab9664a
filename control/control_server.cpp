#include "control/control_server.h"

#include "control/answer_line.h"
#include "control/connection_guard.h"
#include "control/control_api.h"
#include "control/page_files.h"

#include <QFile>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QUrl>

#include <memory>

namespace vantor {
namespace {

using Method = QHttpServerRequest::Method;

// Answers in the connection's line, after the answers its earlier requests are owed.
void Write(QHttpServerResponder& responder, const ApiReply& reply)
{
    AnswerLine::Of(*responder.socket()).Take(std::move(responder))(reply);
}

// A place in the line for an answer that comes later. The socket may be gone by then (the
// client gave up): the answer is then dropped.
ReplyTo ReplyLater(QHttpServerResponder&& responder, bool picture = false)
{
    return AnswerLine::Of(*responder.socket()).Take(std::move(responder), picture);
}

// A form or a text another site's page sends without asking first is not JSON; a POST with no
// body at all says no type.
bool JsonBody(const QHttpServerRequest& request)
{
    const QByteArray type = request.value("content-type").split(';').first().trimmed().toLower();
    return type == "application/json" || (type.isEmpty() && request.body().isEmpty());
}

// Browsers say which page a request comes from: Origin with a POST; Referer, unless the page
// withholds it, and Sec-Fetch-Site, which no page can withhold, with any request, an <img> on
// another site's page included. Only the copy's own page may drive the copy or read from it
// (the page itself may be opened from anywhere); a tool that says none of it is no page.
bool FromAnotherPage(const QHttpServerRequest& request, bool api)
{
    const QString host = QString::fromLatin1(request.value("host"));
    const auto elsewhere = [&host](const QByteArray& page) {
        return !page.isEmpty() && QUrl(QString::fromLatin1(page)).authority() != host;
    };
    if (elsewhere(request.value("origin")))
        return true;
    const QByteArray site = request.value("sec-fetch-site").toLower();
    return api && (elsewhere(request.value("referer")) || (!site.isEmpty() && site != "same-origin" && site != "none"));
}

QString HostOf(const QByteArray& authority) { return QUrl(QStringLiteral("http://") + authority).host(); }

bool LoopbackName(const QString& host)
{
    return host == QStringLiteral("localhost") || QHostAddress(host).isLoopback();
}

}  // namespace

ControlServer::ControlServer(ControlApi& api, ControlEndpoint endpoint, std::optional<QString> token, QObject* parent)
    : QObject(parent), api_(api), endpoint_(std::move(endpoint)), gate_(std::move(token)),
      guard_(new ConnectionGuard(gate_, &http_))
{
    routes_ = {
        {QStringLiteral("/api/state"), Method::Get,
         [this](const QJsonObject&, QHttpServerResponder&& responder) { Write(responder, ApiReply::Json(api_.State())); }},
        {QStringLiteral("/api/output.png"), Method::Get,
         [this](const QJsonObject&, QHttpServerResponder&& responder) {
             if (AnswerLine::Of(*responder.socket()).owes_picture())
                 return Write(responder, ApiReply::Error(429, QStringLiteral("one picture at a time on a connection: "
                                                                             "read the last one first")));
             api_.OutputPicture(ReplyLater(std::move(responder), true));
         }},
        {QStringLiteral("/metrics"), Method::Get,
         [this](const QJsonObject&, QHttpServerResponder&& responder) { Write(responder, api_.Metrics()); }},
        {QStringLiteral("/api/start"), Method::Post, AnsweredAtOnce(&ControlApi::Start)},
        {QStringLiteral("/api/stop"), Method::Post, AnsweredAtOnce(&ControlApi::Stop)},
        {QStringLiteral("/api/go"), Method::Post, AnsweredAtOnce(&ControlApi::Go)},
        {QStringLiteral("/api/overlay"), Method::Post,
         [this](const QJsonObject& body, QHttpServerResponder&& responder) {
             api_.Overlay(body, ReplyLater(std::move(responder)));
         }},
        {QStringLiteral("/api/format"), Method::Post, AnsweredAtOnce(&ControlApi::Format)},
        {QStringLiteral("/api/playback"), Method::Post, AnsweredAtOnce(&ControlApi::Playback)},
        {QStringLiteral("/api/role"), Method::Post, AnsweredAtOnce(&ControlApi::Role)},
    };
    http_.setMissingHandler([this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
        Answer(request, std::move(responder));
    });
}

ControlServer::Handler ControlServer::AnsweredAtOnce(ApiReply (ControlApi::*request)(const QJsonObject&))
{
    ControlApi* api = &api_;
    return [api, request](const QJsonObject& body, QHttpServerResponder&& responder) {
        Write(responder, (api->*request)(body));
    };
}

bool ControlServer::Listen(QString& why)
{
    if (!guard_->listen(endpoint_.address, endpoint_.port)) {
        why = guard_->errorString();
        return false;
    }
    http_.bind(guard_);
    return true;
}

quint16 ControlServer::port() const { return guard_->serverPort(); }

void ControlServer::Answer(const QHttpServerRequest& request, QHttpServerResponder&& responder)
{
    const QString path = request.url().path();
    if (const PageFile* file = PageFileAt(path.toUtf8())) {
        if (const auto refusal = Refusal(request))
            return Write(responder, *refusal);
        if (request.method() != Method::Get)
            return Write(responder, ApiReply::Error(405, QStringLiteral("the page takes GET only")));
        QFile resource(QString::fromLatin1(file->resource));
        resource.open(QIODevice::ReadOnly);
        return Write(responder, {200, resource.readAll(), file->type});
    }
    if (IsFilesPath(path)) {
        if (const auto refusal = Refusal(request, kMaxUploadBody))
            return Write(responder, *refusal);
        return api_.files().Answer(request.method(), request.url().path(QUrl::FullyEncoded), request.body(),
                                   ReplyLater(std::move(responder)));
    }
    const auto route = std::find_if(routes_.begin(), routes_.end(), [&path](const ApiRoute& r) { return path == r.path; });
    if (route == routes_.end())
        return Write(responder, ApiReply::Error(404, QStringLiteral("no such request: %1").arg(path)));
    if (const auto refusal = Refusal(request))
        return Write(responder, *refusal);
    if (request.method() != route->method)
        return Write(responder, ApiReply::Error(405, QStringLiteral("%1 takes %2 only")
                                                         .arg(path, route->method == Method::Get ? "GET" : "POST")));
    if (request.method() == Method::Post && !JsonBody(request))
        return Write(responder, ApiReply::Error(415, QStringLiteral("a POST takes a JSON body: Content-Type: "
                                                                   "application/json")));
    QJsonObject body;
    if (!request.body().trimmed().isEmpty()) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(request.body(), &error);
        if (!document.isObject())
            return Write(responder, ApiReply::Error(400, QStringLiteral("the body is not a JSON object%1")
                                                             .arg(error.error ? ": " + error.errorString() : "")));
        body = document.object();
    }
    route->handle(body, std::move(responder));
}

std::optional<ApiReply> ControlServer::Refusal(const QHttpServerRequest& request, qint64 body_limit)
{
    const QByteArray host = request.value("host");
    // A page elsewhere that names this machine's loopback address in its links, or a name that
    // was made to point here, gets nothing from a copy that only this machine may reach.
    if (endpoint_.loopback() && !LoopbackName(HostOf(host)))
        return ApiReply::Error(403, QStringLiteral("this API answers to its own address only"));
    const bool api = !PageFileAt(request.url().path().toUtf8());  // the page itself may be linked to
    if (FromAnotherPage(request, api))
        return ApiReply::Error(403, QStringLiteral("requests from other pages are refused"));
    // The guard judged the head as it came; the request as the server read it is judged again.
    if (auto refusal = gate_.Judge(request.remoteAddress(), request.url().path().toUtf8(), request.value("authorization")))
        return refusal;
    if (request.body().size() > body_limit)
        return ApiReply::Error(413, QStringLiteral("the request is larger than %1").arg(LimitWords(body_limit)));
    return std::nullopt;
}

}  // namespace vantor
