#include "control/request_head.h"

#include <QList>

#include <algorithm>
#include <utility>
#include <variant>

namespace vantor {
namespace {

constexpr QByteArrayView kEnd("\r\n\r\n");

ApiReply Malformed() { return ApiReply::Error(400, QStringLiteral("the request is malformed")); }

bool TokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool Token(QByteArrayView word) { return !word.isEmpty() && std::all_of(word.begin(), word.end(), TokenChar); }

// Every line ends in CR LF, and no other control character than a tab is in it.
bool CleanLines(QByteArrayView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
            return false;
        if (c == '\n' && (i == 0 || text[i - 1] != '\r'))
            return false;
        if ((uchar(c) < 0x20 && c != '\r' && c != '\n' && c != '\t') || c == 0x7f)
            return false;
    }
    return true;
}

std::optional<qint64> Length(const QByteArray& value)
{
    if (value.isEmpty() || value.size() > 15 || !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return value.toLongLong();
}

// The head without its blank line.
std::variant<RequestHead, ApiReply> Read(QByteArrayView text)
{
    if (!CleanLines(text))
        return Malformed();
    const QList<QByteArray> lines = text.toByteArray().replace("\r\n", "\n").split('\n');
    const QList<QByteArray> start = lines.front().split(' ');
    if (start.size() != 3 || !Token(start[0]) || !start[1].startsWith('/') ||
        (start[2] != "HTTP/1.1" && start[2] != "HTTP/1.0"))
        return Malformed();
    RequestHead head{start[0], start[1].split('?').front(), {}, 0};
    bool length = false, authorization = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon < 0 || !Token(QByteArrayView(line).first(colon)))
            return Malformed();  // also a line folded onto the one before
        const QByteArray name = line.left(colon).toLower(), value = line.mid(colon + 1).trimmed();
        if (name == "transfer-encoding")
            return ApiReply::Error(411, QStringLiteral("a body is sent with a Content-Length"));
        if (name == "content-length") {
            const auto bytes = Length(value);
            if (!bytes || std::exchange(length, true))
                return Malformed();
            head.body_bytes = *bytes;
        } else if (name == "authorization") {
            if (std::exchange(authorization, true))
                return Malformed();
            head.authorization = value;
        }
    }
    return head;
}

}  // namespace

QString LimitWords(qint64 body_bytes)
{
    return body_bytes >= (1 << 20) ? QStringLiteral("%1 MB").arg(body_bytes >> 20)
                                   : QStringLiteral("%1 KB").arg(body_bytes >> 10);
}

RequestFraming::Taken RequestFraming::TakeHead(QByteArrayView bytes)
{
    const qsizetype before = partial_.size();
    // The end may straddle the bytes before: look again from up to three bytes back.
    partial_ += bytes.first(std::min(bytes.size(), kMaxHeaderBytes - before));
    const qsizetype end = partial_.indexOf(kEnd, std::max<qsizetype>(0, before - 3));
    if (end < 0) {
        if (partial_.size() < kMaxHeaderBytes)
            return {bytes.size(), std::nullopt, std::nullopt};
        return {0, std::nullopt, ApiReply::Error(431, QStringLiteral("the request's headers are larger than %1")
                                                          .arg(LimitWords(kMaxHeaderBytes)))};
    }
    const qsizetype used = end + kEnd.size() - before;
    auto read = Read(QByteArrayView(partial_).first(end));
    partial_.clear();
    if (auto* refusal = std::get_if<ApiReply>(&read))
        return {used, std::nullopt, *refusal};
    body_left_ = std::get<RequestHead>(read).body_bytes;
    return {used, std::get<RequestHead>(read), std::nullopt};
}

qint64 RequestFraming::TakeBody(qint64 available)
{
    const qint64 taken = std::min(available, body_left_);
    body_left_ -= taken;
    return taken;
}

}  // namespace vantor
