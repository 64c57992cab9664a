#pragma once
// HTTP answers read straight off a socket, for the tests that send requests byte by byte.

#include <QByteArray>
#include <QTcpSocket>

#include <optional>

namespace vantor::test {

// One HTTP answer: its status, headers and body.
struct RawAnswer {
    int status = 0;
    QByteArray head, body;
};

// The next answer in `buffer` and what comes off the socket, taken out of the buffer; nothing
// when none is whole within `timeout_ms`.
std::optional<RawAnswer> ReadAnswer(QTcpSocket& socket, QByteArray& buffer, int timeout_ms);

// Whether the other end has closed the connection within `timeout_ms`, reading what comes.
bool WaitForClose(QTcpSocket& socket, int timeout_ms);

}  // namespace vantor::test
