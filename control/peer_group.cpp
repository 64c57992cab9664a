#include "control/peer_group.h"

namespace vantor {

QHostAddress PeerGroupOf(const QHostAddress& peer)
{
    bool four = false;
    const quint32 ipv4 = peer.toIPv4Address(&four);
    if (four)
        return QHostAddress(ipv4);
    Q_IPV6ADDR bytes = peer.toIPv6Address();
    std::fill(std::begin(bytes.c) + 8, std::end(bytes.c), 0);
    return QHostAddress(bytes);  // without a scope: one group on every link
}

QString PeerGroupWords(const QHostAddress& group)
{
    return group.protocol() == QAbstractSocket::IPv6Protocol ? group.toString() + QStringLiteral("/64")
                                                             : group.toString();
}

}  // namespace vantor
