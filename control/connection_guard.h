#pragma once
// The listening socket of the control API, between the network and the HTTP server, which
// watches each connection's bytes before the server reads them (control/connection_watch.h).
// At most kMaxConnections at once. A connection is the operator's once it has sent a head with
// the token; until then it is only waiting, and the waiting go first: when every place is taken
// a newcomer whose head already shows the token takes a waiting one's place (or else the place
// of an operator's connection that is owed nothing, oldest first), and any other newcomer takes
// one only from the address group holding the most waiting places, if it holds fewer itself.
// A group keeps at most kMaxWaitingPerGroup waiting: its oldest makes way for its newest. So
// however many addresses hold idle or slow connections, the operator's gets in once its head
// has come by the time it is taken (it is sent with the connection, and taken late under load),
// and is never dropped for one without the token.

#include "control/token_gate.h"

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>

#include <optional>
#include <vector>

class QTcpSocket;

namespace vantor {

class ConnectionWatch;

inline constexpr int kMaxConnections = 128;
inline constexpr int kMaxWaitingPerGroup = 4;
inline constexpr int kListenBacklog = 1024;

class ConnectionGuard : public QTcpServer {
    Q_OBJECT

public:
    // Heads are judged by `gate`, which outlives the guard.
    explicit ConnectionGuard(TokenGate& gate, QObject* parent = nullptr);

    TokenGate& gate() { return gate_; }
    // One upload at a time, so uploads hold at most one large body whoever sends them: false
    // while another connection's upload holds the place.
    bool TakeUploadPlace(const QTcpSocket& socket);
    void GiveUploadPlace(const QTcpSocket& socket);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Place {
        QTcpSocket* socket;
        ConnectionWatch* watch;
        QHostAddress group;
    };
    // Whether a newcomer from `group` may have a place, another's giving one up.
    bool MakeWay(const QHostAddress& group, bool authorised);
    // The place a newcomer takes: a refused one's, then a waiting one's (of the group holding the
    // most, for a newcomer without the token only if its own `group` holds fewer).
    std::optional<size_t> WaitingPlace(const std::optional<QHostAddress>& group) const;
    std::optional<size_t> IdleOperatorPlace() const;
    qsizetype WaitingOf(const QHostAddress& group) const;
    // The head that has come before the connection is taken shows a token that would pass.
    bool HeadShowsToken(int descriptor, const QHostAddress& peer);
    void GiveUp(size_t place);

    TokenGate& gate_;
    std::vector<Place> places_;  // in the order they came
    const QTcpSocket* uploader_ = nullptr;
    QByteArray peeked_;
};

}  // namespace vantor
