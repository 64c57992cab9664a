#include "platform/position_poster.h"

#include "engine/engine_constants.h"
#include "platform/sync_bus.h"

#include <dbus/dbus.h>
#include <sys/socket.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

namespace vantor {
namespace {

// Where the wire format puts them: the byte order first, the body's length at 4, the serial
// at 8; the body (code, then payload, eight bytes each) ends the message.
constexpr size_t kBodyLengthOffset = 4;
constexpr size_t kSerialOffset = 8;
constexpr uint32_t kBodyLength = 16;
constexpr uint8_t kNativeByteOrder = std::endian::native == std::endian::little ? 'l' : 'B';

struct UnrefMessage {
    void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};

// The position signal with payload 0, as the bus reads it; empty when it could not be made.
std::vector<uint8_t> MarshalledPosition()
{
    const std::unique_ptr<DBusMessage, UnrefMessage> message(
        dbus_message_new_signal(kSyncPath, kSyncInterface, kPositionMember));
    const dbus_uint64_t code = kSyncPosition;
    const dbus_int64_t payload = 0;
    char* bytes = nullptr;
    int length = 0;
    if (!message ||
        !dbus_message_append_args(message.get(), DBUS_TYPE_UINT64, &code, DBUS_TYPE_INT64, &payload,
                                  DBUS_TYPE_INVALID) ||
        !dbus_message_marshal(message.get(), &bytes, &length))
        return {};
    std::vector<uint8_t> marshalled(bytes, bytes + length);
    dbus_free(bytes);
    uint32_t body_length = 0;
    if (marshalled.size() < kSerialOffset + 4 + kBodyLength)
        return {};
    std::memcpy(&body_length, marshalled.data() + kBodyLengthOffset, sizeof body_length);
    if (marshalled[0] != kNativeByteOrder || body_length != kBodyLength)
        return {};
    return marshalled;
}

}  // namespace

void PositionPoster::CloseConnection::operator()(DBusConnection* connection) const
{
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
}

PositionPoster::PositionPoster() = default;
PositionPoster::~PositionPoster() = default;

bool PositionPoster::Connect()
{
    DBusError error;
    dbus_error_init(&error);
    connection_.reset(dbus_bus_get_private(DBUS_BUS_SESSION, &error));
    dbus_error_free(&error);
    if (!connection_)
        return false;
    // The connection only ever writes: losing the bus must not end the program.
    dbus_connection_set_exit_on_disconnect(connection_.get(), false);
    message_ = MarshalledPosition();
    if (message_.empty() || !dbus_connection_get_socket(connection_.get(), &socket_)) {
        connection_.reset();
        socket_ = -1;
        return false;
    }
    unsent_.assign(message_.size(), 0);
    unsent_from_ = unsent_.size();
    return true;
}

void PositionPoster::Post(intptr_t payload)
{
    if (socket_ < 0)
        return;
    if (unsent_from_ < unsent_.size()) {
        unsent_from_ = Write(unsent_, unsent_from_, unsent_.size());
        if (unsent_from_ < unsent_.size())
            return;  // the bus has not taken the last one yet
    }
    serial_ = serial_ == UINT32_MAX ? 2 : serial_ + 1;  // never 0, never the Hello's
    const int64_t value = payload;
    std::memcpy(message_.data() + kSerialOffset, &serial_, sizeof serial_);
    std::memcpy(message_.data() + message_.size() - sizeof value, &value, sizeof value);
    const size_t written = Write(message_, 0, message_.size());
    if (written > 0 && written < message_.size()) {  // the rest must follow before anything else
        std::copy(message_.begin(), message_.end(), unsent_.begin());
        unsent_from_ = written;
    }
}

size_t PositionPoster::Write(const std::vector<uint8_t>& bytes, size_t from, size_t to) const
{
    while (from < to) {
        const ssize_t sent = ::send(socket_, bytes.data() + from, to - from, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent > 0)
            from += size_t(sent);
        else if (sent < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    return from;
}

}  // namespace vantor
