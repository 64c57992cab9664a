#include "platform/bus_probe.h"

#include <dbus/dbus.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace vantor {
namespace {

using Clock = std::chrono::steady_clock;

struct UnixSocketAddress {
    sockaddr_un address{};
    socklen_t length = 0;  // an abstract name is as long as it is, with no NUL after it
};

// The socket address of a "unix:path=..." or "unix:abstract=..." entry; nothing for the rest.
std::optional<UnixSocketAddress> UnixAddressOf(DBusAddressEntry* entry)
{
    if (std::strcmp(dbus_address_entry_get_method(entry), "unix") != 0)
        return std::nullopt;
    const char* path = dbus_address_entry_get_value(entry, "path");
    const char* abstract = dbus_address_entry_get_value(entry, "abstract");
    const char* name = path ? path : abstract;
    UnixSocketAddress socket;
    if (!name || std::strlen(name) + 1 >= sizeof socket.address.sun_path)
        return std::nullopt;
    socket.address.sun_family = AF_UNIX;
    std::strcpy(socket.address.sun_path + (path ? 0 : 1), name);  // abstract names begin with a NUL
    socket.length = socklen_t(offsetof(sockaddr_un, sun_path) + std::strlen(name) + 1);
    return socket;
}

// The first unix socket the address names.
std::optional<UnixSocketAddress> FirstUnixAddress(const std::string& bus_address)
{
    DBusAddressEntry** entries = nullptr;
    int count = 0;
    if (!dbus_parse_address(bus_address.c_str(), &entries, &count, nullptr))
        return std::nullopt;
    std::optional<UnixSocketAddress> found;
    for (int i = 0; i < count && !found; ++i)
        found = UnixAddressOf(entries[i]);
    dbus_address_entries_free(entries);
    return found;
}

std::optional<UnixSocketAddress> SessionBusSocket()
{
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        return FirstUnixAddress(address);
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"))
        return FirstUnixAddress(std::string("unix:path=") + runtime + "/bus");
    return std::nullopt;
}

int MsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

bool WaitFor(int fd, short events, Clock::time_point deadline)
{
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, MsLeft(deadline)) == 1;
}

// Opens the authentication as every client does (a NUL, then AUTH EXTERNAL with the user id in
// hex) and waits for any reply line: a daemon that runs answers at once.
bool Answers(int fd, Clock::time_point deadline)
{
    std::string uid_hex;
    for (const char digit : std::to_string(::getuid()))
        uid_hex += "3" + std::string(1, digit);
    const std::string hello = std::string(1, '\0') + "AUTH EXTERNAL " + uid_hex + "\r\n";
    if (!WaitFor(fd, POLLOUT, deadline) ||
        ::send(fd, hello.data(), hello.size(), MSG_NOSIGNAL | MSG_DONTWAIT) != ssize_t(hello.size()))
        return true;  // a failing bus fails Qt's connection quickly too
    char reply[256];
    return WaitFor(fd, POLLIN, deadline) && ::recv(fd, reply, sizeof reply, MSG_DONTWAIT) != 0;
}

}  // namespace

bool SessionBusAnswers(int limit_ms)
{
    const std::optional<UnixSocketAddress> bus = SessionBusSocket();
    if (!bus)
        return true;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return true;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
    const bool connecting = ::connect(fd, reinterpret_cast<const sockaddr*>(&bus->address), bus->length) == 0 ||
                            errno == EAGAIN || errno == EINPROGRESS;
    const bool answers = !connecting || Answers(fd, deadline);  // a refused connection fails at once
    ::close(fd);
    return answers;
}

bool LeaveSilentSessionBus(int limit_ms)
{
    if (SessionBusAnswers(limit_ms))
        return false;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);  // an address of no kind: fails at once
    return true;
}

}  // namespace vantor
