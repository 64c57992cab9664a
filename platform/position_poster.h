#pragma once
// The frame position (code 5), posted once a frame by the send thread. It travels as a signal of
// its own (kPositionMember) on the copies' path and interface, with the code and payload of the
// copies' message, so a bus monitor sees it as ever; no copy subscribes to it, so the bus hands
// it to nobody who would only ignore it. It goes out on a private connection of its own: the
// message is marshalled once when the connection opens, and each frame writes a fresh serial
// and the payload into those bytes and gives them to the socket without waiting. The send
// thread marshals nothing, allocates nothing and takes no lock.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct DBusConnection;

namespace vantor {

class PositionPoster {
public:
    PositionPoster();
    ~PositionPoster();
    PositionPoster(const PositionPoster&) = delete;
    PositionPoster& operator=(const PositionPoster&) = delete;

    // Opens the connection to the session bus and makes the message; false when there is no
    // bus (then Post does nothing). Before the first Post.
    bool Connect();
    // One position. One thread at a time (the send thread). A socket that cannot take the bytes
    // now loses this position rather than make the sender wait.
    void Post(intptr_t payload);

private:
    struct CloseConnection {
        void operator()(DBusConnection* connection) const;
    };

    // Writes what the socket takes of bytes [from, to) of `bytes`; returns where it stopped.
    size_t Write(const std::vector<uint8_t>& bytes, size_t from, size_t to) const;

    std::unique_ptr<DBusConnection, CloseConnection> connection_;
    int socket_ = -1;
    std::vector<uint8_t> message_;  // the marshalled signal; serial and payload rewritten each frame
    std::vector<uint8_t> unsent_;   // the end of a message the socket took only in part
    size_t unsent_from_ = 0;        // unsent_[unsent_from_, size) must go before the next message
    uint32_t serial_ = 1;           // the connection's Hello took serial 1
};

}  // namespace vantor
