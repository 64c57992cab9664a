#pragma once
// The source's TCP listener: the first free port from 5960 to 5999, on all interfaces (IPv6
// and IPv4 where the machine has IPv6, IPv4 otherwise), non-blocking.

#include "ndi/unique_fd.h"

#include <array>
#include <cstdint>

namespace vantor::ndi {

inline constexpr uint16_t kFirstPort = 5960;
inline constexpr uint16_t kLastPort = 5999;

// A peer's IP address as IPv6 bytes (an IPv4 peer as ::ffff:a.b.c.d), to tell peers apart.
using PeerAddress = std::array<uint8_t, 16>;

struct Connection {
    UniqueFd socket;   // invalid when none was accepted
    PeerAddress peer{};
    int error = 0;     // why none was accepted: errno of the accept, EAGAIN when none waits
};

class Listener {
public:
    // Binds the first free port; valid() is false when none is free.
    Listener();

    bool valid() const { return socket_.valid(); }
    int fd() const { return socket_.get(); }
    uint16_t port() const { return port_; }

    // The next waiting connection, non-blocking and without delay for small writes.
    Connection Accept() const;

private:
    UniqueFd socket_;
    uint16_t port_ = 0;
};

}  // namespace vantor::ndi
