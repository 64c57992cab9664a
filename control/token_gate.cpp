#include "control/token_gate.h"

#include "control/page_files.h"

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
    const ApiReply refused =
        ApiReply::Error(429, QStringLiteral("too many wrong tokens from this address: try again in a minute"));
    if (throttle_.Refused(peer))
        return refused;
    if (SameSecret(authorization, *expected_))
        return std::nullopt;
    if (!authorization.isEmpty() && throttle_.CountWrong(peer))
        return refused;
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
