#pragma once
// Who may make a request of the control API: with a token set, every request but the page's own
// files carries it (Authorization: Bearer ...), and a group that guessed too often is refused
// for a while (control/token_throttle.h). The connection guard asks as soon as a request's head
// is in, before its body; the server asks again of the request it parsed.

#include "control/api_reply.h"
#include "control/token_throttle.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <optional>

namespace vantor {

class TokenGate {
public:
    explicit TokenGate(std::optional<QString> token, TokenThrottle throttle = {});

    // Why a request from `peer` for `path`, with this Authorization header, may not go on
    // (401, 429); nothing when it may. A wrong token is counted.
    std::optional<ApiReply> Judge(const QHostAddress& peer, QByteArrayView path, const QByteArray& authorization);
    // The header carries the token, or none is needed: the connection is the operator's.
    bool Authorised(const QByteArray& authorization) const;
    // Judge would let an authorised request from `peer` go on; nothing is counted.
    bool Admits(const QHostAddress& peer, const QByteArray& authorization) const;

private:
    const std::optional<QByteArray> expected_;  // "Bearer TOKEN"
    TokenThrottle throttle_;
};

}  // namespace vantor
