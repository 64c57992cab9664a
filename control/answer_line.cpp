#include "control/answer_line.h"

#include "control/connection_watch.h"

#include <QPointer>
#include <QTcpSocket>

namespace vantor {

void WriteAnswer(QHttpServerResponder& responder, const ApiReply& reply)
{
    const auto status = QHttpServerResponder::StatusCode(reply.status);
    const std::pair<QByteArray, QByteArray> type{"Content-Type", reply.type}, cache{"Cache-Control", "no-store"},
        frames{"X-Frame-Options", "DENY"}, policy{"Content-Security-Policy", kContentSecurityPolicy};
    if (reply.header.first.isEmpty())
        return responder.write(reply.body, {type, cache, frames, policy}, status);
    responder.write(reply.body, {type, cache, frames, policy, reply.header}, status);
}

AnswerLine::AnswerLine(QTcpSocket& socket) : QObject(&socket), socket_(socket) {}

AnswerLine& AnswerLine::Of(QTcpSocket& socket)
{
    if (auto* line = socket.findChild<AnswerLine*>(QString(), Qt::FindDirectChildrenOnly))
        return *line;
    return *new AnswerLine(socket);
}

ReplyTo AnswerLine::Take(QHttpServerResponder&& responder, bool picture)
{
    places_.push_back({std::make_unique<QHttpServerResponder>(std::move(responder)), std::nullopt, picture});
    pictures_owed_ += picture;
    socket_.setProperty(kOwedAnswers, int(places_.size()));
    return [line = QPointer<AnswerLine>(this), number = first_ + places_.size() - 1](const ApiReply& reply) {
        if (line)
            line->Give(number, reply);
    };
}

void AnswerLine::Give(quint64 number, const ApiReply& reply)
{
    Place& place = places_.at(number - first_);
    if (place.answer)
        return;
    place.answer = reply;
    pictures_owed_ -= place.picture;
    WriteReady();
}

void AnswerLine::WriteReady()
{
    while (!places_.empty() && places_.front().answer) {
        if (socket_.bytesToWrite() > kMaxUnsent)
            return socket_.abort();  // it reads nothing: the socket goes, and the line with it
        WriteAnswer(*places_.front().responder, *places_.front().answer);
        places_.pop_front();
        ++first_;
    }
    socket_.setProperty(kOwedAnswers, int(places_.size()));
}

}  // namespace vantor
