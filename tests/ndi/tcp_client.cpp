#include "tcp_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>

namespace vantor::test {

ndi::UniqueFd ConnectTo(uint16_t port, const char* from)
{
    ndi::UniqueFd s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (from && (::inet_pton(AF_INET, from, &address.sin_addr) != 1 ||
                 ::bind(s.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0))
        return ndi::UniqueFd();
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return ndi::UniqueFd();
    return s;
}

bool Readable(int fd, int timeout_ms)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeout_ms) == 1;
}

std::optional<size_t> ReadUntilClosed(int fd, int timeout_ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    size_t total = 0;
    char buffer[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !Readable(fd, int(left.count())))
            return std::nullopt;
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return total;
        total += size_t(got);
    }
}

}  // namespace vantor::test
