#include "raw_http.h"

#include <QDeadlineTimer>

namespace vantor::test {
namespace {

// Its size once all of it is in the buffer; 0 before.
qsizetype AnswerSize(const QByteArray& buffer)
{
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return 0;
    const QByteArray head = buffer.left(end).toLower();
    const qsizetype at = head.indexOf("content-length:");
    const qsizetype size = end + 4 + (at < 0 ? 0 : head.mid(at + 15).split('\r').first().trimmed().toLongLong());
    return buffer.size() >= size ? size : 0;
}

}  // namespace

std::optional<RawAnswer> ReadAnswer(QTcpSocket& socket, QByteArray& buffer, int timeout_ms)
{
    const QDeadlineTimer deadline(timeout_ms);
    while (AnswerSize(buffer) == 0) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            return std::nullopt;
        buffer += socket.readAll();
    }
    const qsizetype size = AnswerSize(buffer), end = buffer.indexOf("\r\n\r\n");
    RawAnswer answer{buffer.mid(9, 3).toInt(), buffer.left(end), buffer.mid(end + 4, size - end - 4)};
    buffer.remove(0, size);
    return answer;
}

bool WaitForClose(QTcpSocket& socket, int timeout_ms)
{
    const QDeadlineTimer deadline(timeout_ms);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        socket.readAll();
    }
    return socket.state() != QAbstractSocket::ConnectedState;
}

}  // namespace vantor::test
