#pragma once
// The listening socket of the control API, between the network and the HTTP server: at most
// kMaxConnections clients at once, none that sends more than a request may hold without being
// answered (413, then closed), none that holds a connection kIdle_ms without getting an answer.
// When every place is taken, the address that holds the most places, the newcomer counted,
// gives one up: a newcomer from that address is closed, else that address's connection that
// has waited longest without being owed an answer. So an address that opens connections again
// and again keeps no other out (the operator's keeps a place), and idle, slow or flooding
// clients cost the copy little, and never a frame: the send thread never waits for the thread
// this runs on.

#include <QHostAddress>
#include <QString>
#include <QTcpServer>

#include <vector>

class QTcpSocket;

namespace vantor {

inline constexpr int kMaxConnections = 32;
inline constexpr int kIdle_ms = 10000;
// A body of 64 KB and its headers.
inline constexpr qint64 kMaxRequestBody = 64 * 1024;
inline constexpr qint64 kMaxHeaderBytes = 16 * 1024;
inline constexpr qint64 kMaxRequestBytes = kMaxRequestBody + kMaxHeaderBytes;
// A picture uploaded to the files folder (PUT /api/files/NAME) may be larger, and its data
// arriving keeps the connection from counting as idle; one upload at a time (503 for another).
inline constexpr qint64 kMaxUploadBody = 64 * 1024 * 1024;
inline constexpr qint64 kMaxUploadBytes = kMaxUploadBody + kMaxHeaderBytes;
// A socket's property counting the answers that the server still owes it: it is not idle.
inline constexpr char kOwedAnswers[] = "vantor_owed_answers";

// "64 KB", "64 MB": a body's limit as the 413 answer says it.
QString LimitWords(qint64 body_bytes);

class ConnectionGuard : public QTcpServer {
    Q_OBJECT

public:
    explicit ConnectionGuard(QObject* parent = nullptr);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    // Whether a newcomer from `peer` may have a place, another address's giving one up.
    bool MakeWay(const QHostAddress& peer);
    void Watch(QTcpSocket* socket);
    // Answers without the HTTP server (413 for too much), reads what else comes and closes.
    void Refuse(QTcpSocket* socket, const QByteArray& answer);

    struct Place {
        QTcpSocket* socket;
        QHostAddress peer;
    };
    std::vector<Place> places_;  // in the order they came
    bool upload_under_way_ = false;
};

}  // namespace vantor
