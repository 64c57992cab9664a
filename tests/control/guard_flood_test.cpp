// The operator's requests against a flood, in a network of the test's own (run under
// `unshare -rn`): 64 addresses, each in a /64 of its own, hold idle connections and slow uploads
// without the token or with a wrong one, and open them again as they are dropped, while the
// operator asks for the state and uploads a picture with the right token.

#include "copy_process.h"
#include "raw_http.h"
#include "test_images.h"
#include "support/spin_until.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

namespace vantor {
namespace {

constexpr int kBound_ms = 20000;
constexpr int kAddresses = 64;
const QByteArray kToken = "studio-secret-42";

QHostAddress Attacker(int n) { return QHostAddress(QStringLiteral("fd00:0:0:%1::1").arg(n + 1, 0, 16)); }

// The namespace's loopback up, with an address in each attacker's /64.
bool NetworkUp()
{
    QByteArray commands = "link set lo up\n";
    for (int n = 0; n < kAddresses; ++n)
        commands += "addr add " + Attacker(n).toString().toLatin1() + "/64 dev lo nodad\n";
    QProcess ip;
    ip.start(QStringLiteral("ip"), {QStringLiteral("-batch"), QStringLiteral("-")});
    ip.write(commands);
    ip.closeWriteChannel();
    return ip.waitForFinished(kBound_ms) && ip.exitCode() == 0;
}

// The attackers, on a thread of their own: each address keeps two idle connections and two slow
// uploads (one without a token, one with a wrong one) open, and reopens each as it is dropped.
class Flood : public QObject {
public:
    explicit Flood(quint16 port) : port_(port) {}

    void Start()
    {
        for (int n = 0; n < kAddresses; ++n)
            for (const QByteArray& head : {QByteArray(), QByteArray(), UploadHead({}), UploadHead("Bearer guess")})
                Open(Attacker(n), head);
    }

    std::atomic<int> opened{0}, refused_unauthorised{0}, refused_guessing{0};

private:
    static QByteArray UploadHead(const QByteArray& authorization)
    {
        return "PUT /api/files/flood.png HTTP/1.1\r\nHost: studio\r\nContent-Length: 60000000\r\n" +
               (authorization.isEmpty() ? QByteArray() : "Authorization: " + authorization + "\r\n") + "\r\n";
    }

    void Open(const QHostAddress& from, const QByteArray& head)
    {
        auto* socket = new QTcpSocket(this);
        socket->bind(from);
        ++opened;
        connect(socket, &QTcpSocket::connected, socket, [socket, head] {
            socket->write(head);
            if (head.isEmpty())
                return;
            auto* trickle = new QTimer(socket);  // a byte a second of a body that never ends
            connect(trickle, &QTimer::timeout, socket, [socket] { socket->write("x"); });
            trickle->start(1000);
        });
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            const QByteArray answer = socket->readAll();
            refused_unauthorised += answer.startsWith("HTTP/1.1 401");
            refused_guessing += answer.startsWith("HTTP/1.1 429");
        });
        // Dropped once connected: open again at once; refused before: after a moment.
        connect(socket, &QTcpSocket::disconnected, this, [this, socket, from, head] { Again(socket, from, head, 0); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket, from, head] {
            if (socket->state() == QAbstractSocket::UnconnectedState)
                Again(socket, from, head, 100);
        });
        socket->connectToHost(QHostAddress::LocalHostIPv6, port_);
    }

    void Again(QTcpSocket* socket, const QHostAddress& from, const QByteArray& head, int after_ms)
    {
        if (socket->property("again").toBool())
            return;
        socket->setProperty("again", true);
        socket->deleteLater();
        QTimer::singleShot(after_ms, this, [this, from, head] { Open(from, head); });
    }

    const quint16 port_;
};

struct Exchange {
    int status = 0;
    qint64 elapsed_ms = 0;
};

// One request of the operator's on a connection of its own, timed from the connect to the
// whole answer.
Exchange Ask(quint16 port, const QByteArray& request)
{
    QElapsedTimer clock;
    clock.start();
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHostIPv6, port);
    if (!socket.waitForConnected(kBound_ms))
        return {};
    socket.write(request);
    QByteArray buffer;
    const auto answer = test::ReadAnswer(socket, buffer, kBound_ms);
    return {answer ? answer->status : 0, clock.elapsed()};
}

TEST(GuardFloodTest, TheOperatorsRequestsAreAnsweredWhileManyAddressesHoldIdleAndSlowConnections)
{
    ASSERT_TRUE(NetworkUp()) << "this test runs in a network namespace of its own: unshare -rn";
    QTemporaryDir files;
    const quint16 port = test::FreeLocalPort();
    test::CopyProcess copy(QStringLiteral("unix:path=/nonexistent/bus"), test::HeadlessProgram(),
                           {QStringLiteral("--control"), QStringLiteral("[::]:%1").arg(port), QStringLiteral("--control-token"),
                            QString::fromLatin1(kToken), QStringLiteral("--control-files"), files.path(),
                            QStringLiteral("--size"), QStringLiteral("640x360")});
    ASSERT_TRUE(copy.WaitForCount(QStringLiteral("Sending"), 1, kBound_ms)) << copy.Errors().toStdString();

    QThread thread;
    auto* flood = new Flood(port);
    flood->moveToThread(&thread);
    QObject::connect(&thread, &QThread::finished, flood, &QObject::deleteLater);
    thread.start();
    QMetaObject::invokeMethod(flood, [flood] { flood->Start(); });
    // Past the time a connection without the token may wait, so the idle ones have been dropped.
    test::SpinFor(4000);

    QTemporaryDir elsewhere;
    QFile picture(test::SaveSolidPicture(elsewhere.filePath(QStringLiteral("logo.png")), 40, 20, qRgb(200, 0, 0)));
    ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
    const QByteArray bytes = picture.readAll(), bearer = "Authorization: Bearer " + kToken + "\r\n";
    std::vector<qint64> latencies_ms;
    for (int i = 0; i < 10; ++i) {
        const QByteArray request = i % 2 == 0
            ? "GET /api/state HTTP/1.1\r\nHost: studio\r\n" + bearer + "\r\n"
            : "PUT /api/files/logo" + QByteArray::number(i) + ".png HTTP/1.1\r\nHost: studio\r\n" + bearer +
                  "Content-Length: " + QByteArray::number(bytes.size()) + "\r\n\r\n" + bytes;
        const Exchange exchange = Ask(port, request);
        EXPECT_EQ(exchange.status, 200) << "request " << i;
        latencies_ms.push_back(exchange.elapsed_ms);
        test::SpinFor(300);
    }
    const int opened = flood->opened, unauthorised = flood->refused_unauthorised, guessing = flood->refused_guessing;
    thread.quit();
    thread.wait();

    std::sort(latencies_ms.begin(), latencies_ms.end());
    std::printf("Operator's answers amid the flood: median %lld ms, slowest %lld ms; the flood opened %d connections, "
                "refused %d without the token and %d guessing\n",
                static_cast<long long>(latencies_ms[latencies_ms.size() / 2]), static_cast<long long>(latencies_ms.back()),
                opened, unauthorised, guessing);
    EXPECT_LT(latencies_ms.back(), kBound_ms / 2) << "answered, however loaded the machine";
    EXPECT_GT(opened, 4 * kAddresses) << "connections were dropped and opened again";
    EXPECT_GT(unauthorised, 0);
    EXPECT_GT(guessing, 0) << "wrong tokens from many addresses together are refused";
    EXPECT_TRUE(copy.Errors().contains(QStringLiteral("more than 30 wrong tokens within a minute from all addresses")));
}

}  // namespace
}  // namespace vantor
