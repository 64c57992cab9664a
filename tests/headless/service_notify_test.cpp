// ndivantor-headless under a service manager's eyes: a datagram socket stands for systemd's
// NOTIFY_SOCKET, with a watchdog asked for through WATCHDOG_USEC, as Type=notify and
// WatchdogSec= set them.

#include "copy_process.h"
#include "stream_client.h"

#include <QElapsedTimer>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

namespace vantor {
namespace {

constexpr int64_t kWatchdog_ms = 1000;

struct Notice {
    QByteArray text;
    qint64 at_ms;
};

// The service manager's end: one datagram per notification.
class NotifySocket {
public:
    explicit NotifySocket(const QString& path)
    {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = path.toLocal8Bit().left(sizeof address.sun_path - 1);
        std::copy(name.begin(), name.end(), address.sun_path);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        clock_.start();
    }
    ~NotifySocket() { ::close(fd_); }
    bool bound() const { return bound_; }

    // The next notification whose text starts with `prefix`, within the time; the others on
    // the way are kept in seen().
    std::optional<Notice> WaitFor(const QByteArray& prefix, int timeout_ms)
    {
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < timeout_ms) {
            pollfd polled{fd_, POLLIN, 0};
            if (::poll(&polled, 1, 50) <= 0)
                continue;
            char buffer[4096];
            const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
            if (got <= 0)
                continue;
            const Notice notice{QByteArray(buffer, got), clock_.elapsed()};
            seen_.push_back(notice);
            if (notice.text.startsWith(prefix))
                return notice;
        }
        return std::nullopt;
    }
    const std::vector<Notice>& seen() const { return seen_; }
    qint64 now_ms() const { return clock_.elapsed(); }
    std::string Statuses() const
    {
        std::string statuses;
        for (const Notice& notice : seen_)
            if (notice.text.startsWith("STATUS="))
                statuses += notice.text.toStdString() + '\n';
        return statuses;
    }

private:
    int fd_ = -1;
    bool bound_ = false;
    QElapsedTimer clock_;
    std::vector<Notice> seen_;
};

// The gaps between the WATCHDOG=1 notifications received from `from_ms` on.
std::vector<qint64> WatchdogGaps(const std::vector<Notice>& seen, qint64 from_ms)
{
    std::vector<qint64> gaps;
    std::optional<qint64> last;
    for (const Notice& notice : seen) {
        if (notice.text != "WATCHDOG=1" || notice.at_ms < from_ms)
            continue;
        if (last)
            gaps.push_back(notice.at_ms - *last);
        last = notice.at_ms;
    }
    return gaps;
}

void ExpectWatchdogCadence(NotifySocket& socket, const char* while_what)
{
    socket.WaitFor("never said", 20);  // what queued up while the test looked elsewhere
    const qint64 from_ms = socket.now_ms();
    socket.WaitFor("never said", 4 * kWatchdog_ms);
    const std::vector<qint64> gaps = WatchdogGaps(socket.seen(), from_ms);
    ASSERT_GE(gaps.size(), 4u) << while_what << ": too few in four watchdog intervals";
    for (qint64 gap : gaps) {
        EXPECT_LT(gap, kWatchdog_ms) << while_what << ": the watchdog would have fired";
        EXPECT_GE(gap, kWatchdog_ms / 2 - 50) << while_what << ": more often than half the interval";
    }
}

TEST(ServiceNotifications, ReadyOnAirStatusFollowsTheOverlayWatchdogFromTheLoopAndStoppedAndStoppingAtTheEnd)
{
    QTemporaryDir dir;
    NotifySocket socket(dir.filePath(QStringLiteral("notify")));
    ASSERT_TRUE(socket.bound());
    QImage logo(40, 20, QImage::Format_ARGB32);
    logo.fill(qRgba(250, 0, 0, 255));
    ASSERT_TRUE(logo.save(dir.filePath(QStringLiteral("bug.png"))));

    // The copy takes these from the test's environment, as from systemd's.
    qputenv("NOTIFY_SOCKET", dir.filePath(QStringLiteral("notify")).toLocal8Bit());
    qputenv("WATCHDOG_USEC", QByteArray::number(kWatchdog_ms * 1000));
    test::CopyProcess copy(QStringLiteral("unix:path=/nonexistent/bus"), test::HeadlessProgram(),
                           {QStringLiteral("--size"), QStringLiteral("640x360")}, test::FreeLocalPort());
    qunsetenv("NOTIFY_SOCKET");
    qunsetenv("WATCHDOG_USEC");
    ASSERT_TRUE(copy.started());

    const auto status = socket.WaitFor("STATUS=", 10000);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(status->text.startsWith("STATUS=Stopped at ")) << status->text.toStdString();
    ASSERT_TRUE(socket.WaitFor("READY=1", 10000).has_value());
    const auto port = test::SourcePortOf(copy.pid());
    ASSERT_TRUE(port.has_value());
    EXPECT_EQ(test::GrabFrames(*port, 1, 640, 360, 5000).size(), 1u) << "ready before a receiver gets a frame";

    ExpectWatchdogCadence(socket, "sending");
    const QJsonObject load{{"file", dir.filePath(QStringLiteral("bug.png"))}, {"on", true}};
    ASSERT_EQ(copy.Post(QStringLiteral("/api/overlay"), QJsonDocument(load).toJson()), 200);
    const auto on = socket.WaitFor("STATUS=Sending 640x360 25p, logo bug.png on", 5000);
    EXPECT_TRUE(on.has_value()) << "no status with the overlay on:\n" << socket.Statuses();

    ASSERT_EQ(copy.Post(QStringLiteral("/api/stop")), 200);
    EXPECT_TRUE(socket.WaitFor("STATUS=Stopped at 640x360 25p, logo bug.png on; receivers hold a clear frame", 5000)
                    .has_value())
        << socket.Statuses();
    ExpectWatchdogCadence(socket, "stopped by the operator");

    copy.Terminate();
    EXPECT_TRUE(socket.WaitFor("STOPPING=1", 5000).has_value());
    ASSERT_TRUE(copy.WaitForExit(6000));
    EXPECT_TRUE(copy.EndedCleanly()) << copy.Errors().toStdString();
    EXPECT_EQ(std::count_if(socket.seen().begin(), socket.seen().end(),
                            [](const Notice& notice) { return notice.text == "READY=1"; }),
              1);
}

}  // namespace
}  // namespace vantor
