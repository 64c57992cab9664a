#include "ndi/listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace vantor::ndi {
namespace {

// Connections the kernel completes before they are accepted: a burst waits here for the
// network thread instead of being dropped (a dropped connection tries again only after a second).
constexpr int kBacklog = 128;

// A listening socket on `port` of every interface, or an invalid one when the port is taken.
UniqueFd ListenOn(uint16_t port)
{
    UniqueFd s(::socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const int on = 1, off = 0;
    if (s.valid()) {
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_any;
        address.sin6_port = htons(port);
        ::setsockopt(s.get(), IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
        ::setsockopt(s.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(s.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(s.get(), kBacklog) == 0)
            return s;
        if (errno != EAFNOSUPPORT && errno != EADDRNOTAVAIL)
            return UniqueFd();
    }
    // No IPv6 on this machine.
    s = UniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!s.valid())
        return s;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    ::setsockopt(s.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(s.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(s.get(), kBacklog) == 0)
        return s;
    return UniqueFd();
}

}  // namespace

Listener::Listener()
{
    for (uint16_t port = kFirstPort; port <= kLastPort; ++port) {
        socket_ = ListenOn(port);
        if (socket_.valid()) {
            port_ = port;
            return;
        }
    }
}

Connection Listener::Accept() const
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    Connection connection;
    connection.socket = UniqueFd(
        ::accept4(socket_.get(), reinterpret_cast<sockaddr*>(&address), &length, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!connection.socket.valid()) {
        connection.error = errno;
        return connection;
    }
    const int on = 1;
    ::setsockopt(connection.socket.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (address.ss_family == AF_INET6) {
        std::memcpy(connection.peer.data(), &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, 16);
    } else if (address.ss_family == AF_INET) {
        connection.peer[10] = connection.peer[11] = 0xff;
        std::memcpy(connection.peer.data() + 12, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, 4);
    }
    return connection;
}

}  // namespace vantor::ndi
