#pragma once
// The addresses the control API counts together: an IPv4 address alone, an IPv6 address with
// the rest of its /64, which one machine is given whole as easily as one address.

#include <QHostAddress>
#include <QString>

namespace vantor {

// 192.0.2.7 as it is (also when it comes as ::ffff:192.0.2.7), 2001:db8:1:2::7 as 2001:db8:1:2::.
QHostAddress PeerGroupOf(const QHostAddress& peer);
// "192.0.2.7", "2001:db8:1:2::/64": a group as the log says it.
QString PeerGroupWords(const QHostAddress& group);

}  // namespace vantor
