#include "control/token_gate.h"

#include "control/page_files.h"

#include <algorithm>

namespace vantor {
namespace {

// The same whatever the token's first difference, so its letters cannot be found one by one.
bool SameSecret(const QByteArray& given, const QByteArray& secret)
{
    unsigned char differs = given.size() != secret.size();
    for (qsizetype i = 0; i < given.size(); ++i)
        differs |= uchar(given[i]) ^ uchar(secret[i % std::max<qsizetype>(1, secret.size())]);
    return differs == 0;
}

}  // namespace

TokenGate::TokenGate(std::optional<QString> token, TokenThrottle throttle)
    : expected_(token ? std::optional<QByteArray>("Bearer " + token->toUtf8()) : std::nullopt),
      throttle_(std::move(throttle))
{
}

std::optional<ApiReply> TokenGate::Judge(const QHostAddress& peer, QByteArrayView path, const QByteArray& authorization)
{
    if (!expected_ || PageFileAt(path))
        return std::nullopt;
    // Even the right token waits: a guesser must not learn it by being let in early. The page
    // counts the wait down from Retry-After.
    const auto refused = [this, &peer] {
        const qint64 wait_s = std::max<qint64>(1, (throttle_.Refused(peer) + 999) / 1000);
        ApiReply reply =
            ApiReply::Error(429, QStringLiteral("too many wrong tokens from this address: wait %1 s").arg(wait_s));
        reply.header = {"Retry-After", QByteArray::number(wait_s)};
        return reply;
    };
    if (throttle_.Refused(peer))
        return refused();
    if (SameSecret(authorization, *expected_))
        return std::nullopt;
    if (!authorization.isEmpty() && throttle_.CountWrong(peer))
        return refused();
    return ApiReply::Error(401, QStringLiteral("a token is needed: Authorization: Bearer <token>"));
}

bool TokenGate::Authorised(const QByteArray& authorization) const
{
    return !expected_ || SameSecret(authorization, *expected_);
}

bool TokenGate::Admits(const QHostAddress& peer, const QByteArray& authorization) const
{
    return Authorised(authorization) && !(expected_ && throttle_.Refused(peer));
}

}  // namespace vantor
