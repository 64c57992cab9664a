#pragma once
// A bare TCP receiver for the cases no real player shows: one that never reads, one that sends
// garbage, one that leaves in the middle of a frame.

#include "ndi/unique_fd.h"

#include <cstdint>
#include <optional>

namespace vantor::test {

// Connected to 127.0.0.1:port, from another loopback address when one is given (a peer of its
// own to the source), or invalid when the connection is refused.
ndi::UniqueFd ConnectTo(uint16_t port, const char* from = nullptr);

// Bytes read until the sender closed the connection, or nothing when it was still open after
// `timeout_ms`.
std::optional<size_t> ReadUntilClosed(int fd, int timeout_ms);

// Whether bytes (or the end) arrive within `timeout_ms`.
bool Readable(int fd, int timeout_ms);

}  // namespace vantor::test
