// Copies of ndivantor with their windows as real processes on a private session bus, driven
// through their windows by the test control.

#include "copy_process.h"
#include "private_bus.h"
#include "support/qt_printers.h"
#include "support/spin_until.h"
#include "stream_client.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <vector>

namespace vantor {
namespace {

using test::CopyProcess;

constexpr int kBound_ms = 20000;  // generous: the copies start slowly under the sanitizers

class WindowProcesses : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (auto& copy : copies_) {
            copy->Terminate();
            EXPECT_TRUE(copy->WaitForExit(kBound_ms));
            EXPECT_TRUE(copy->EndedCleanly()) << copy->Errors().toStdString();
        }
    }

    CopyProcess& Launch(const QString& program = QStringLiteral(NDIVANTOR_PATH), const QStringList& arguments = {})
    {
        copies_.push_back(std::make_unique<CopyProcess>(bus_.address(), program, arguments));
        CopyProcess& copy = *copies_.back();
        EXPECT_TRUE(copy.started());
        EXPECT_TRUE(copy.WaitForTitle(kBound_ms)) << copy.Errors().toStdString();
        return copy;
    }

    // The value of one key in the copy's answer to "state".
    QString State(CopyProcess& copy, const QString& key)
    {
        const qsizetype before = copy.Lines().filter(QStringLiteral("state ")).size();
        copy.Send("state");
        if (!test::SpinUntil([&] { return copy.Lines().filter(QStringLiteral("state ")).size() > before; }, kBound_ms))
            return QStringLiteral("(no answer)");
        const QString line = copy.Lines().filter(QStringLiteral("state ")).last().mid(6);
        for (const QString& pair : line.split(u';'))
            if (pair.startsWith(key + u'='))
                return pair.mid(key.size() + 1);
        return QStringLiteral("(no %1)").arg(key);
    }

    test::PrivateBus bus_;
    std::vector<std::unique_ptr<CopyProcess>> copies_;
};

// Every port a copy could listen on, 5960 to 5999, taken by this test where nobody else has it,
// as a source does: all interfaces, IPv6 and IPv4.
class EveryPortTaken {
public:
    EveryPortTaken()
    {
        for (uint16_t port = 5960; port <= 5999; ++port) {
            const int s = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const int on = 1, off = 0;
            ::setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
            ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
            sockaddr_in6 address{};
            address.sin6_family = AF_INET6;
            address.sin6_addr = in6addr_any;
            address.sin6_port = htons(port);
            if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(s, 1) == 0)
                listeners_.push_back(s);
            else
                ::close(s);  // taken already
        }
    }
    ~EveryPortTaken()
    {
        for (int s : listeners_)
            ::close(s);
    }

private:
    std::vector<int> listeners_;
};

TEST_F(WindowProcesses, WithEveryPortTakenACopySaysSoAndItsStartTakesAPortThatCameFreeLater)
{
    std::optional<EveryPortTaken> taken(std::in_place);
    CopyProcess& copy = Launch();
    ASSERT_TRUE(test::SpinUntil([&] { return copy.Errors().contains(QStringLiteral("no free port from 5960 to 5999")); },
                                kBound_ms))
        << copy.Errors().toStdString();
    EXPECT_EQ(State(copy, QStringLiteral("info")), QStringLiteral("No free port 5960-5999"));
    test::SpinFor(2500);  // past the auto-start, which finds no source to send with
    EXPECT_EQ(copy.Count(QStringLiteral("Sending")), 0);

    taken.reset();
    copy.Send("click 1000");  // Start
    ASSERT_TRUE(copy.WaitForCount(QStringLiteral("Sending"), 1, kBound_ms));
    EXPECT_NE(State(copy, QStringLiteral("info")), QStringLiteral("No free port 5960-5999"));
    const auto port = test::SourcePortOf(copy.pid());
    ASSERT_TRUE(port.has_value());
    EXPECT_TRUE(test::ProbeStream(*port).has_value()) << "the source is on the network";
}

TEST_F(WindowProcesses, AMasterStartsAndStopsItsSlavesThroughTheWindows)
{
    CopyProcess& master = Launch();
    CopyProcess& slave = Launch();
    ASSERT_TRUE(master.WaitForCount(QStringLiteral("Sending"), 1, kBound_ms));
    ASSERT_TRUE(slave.WaitForCount(QStringLiteral("Sending"), 1, kBound_ms));
    EXPECT_EQ(master.Title(), test::TitleLine(1));
    EXPECT_EQ(slave.Title(), test::TitleLine(2));

    master.Send("click 1019");  // Master
    EXPECT_EQ(State(master, QStringLiteral("master")), QStringLiteral("1"));
    EXPECT_EQ(State(master, QStringLiteral("slave")), QStringLiteral("0"));
    master.Send("click 1001");  // Stop
    EXPECT_TRUE(slave.WaitForCount(QStringLiteral("Stopped"), 1, kBound_ms));
    EXPECT_EQ(State(slave, QStringLiteral("start")), QStringLiteral("1"));
    master.Send("click 1000");  // Start
    EXPECT_TRUE(slave.WaitForCount(QStringLiteral("Sending"), 2, kBound_ms));

    slave.Send("click 1020");  // no longer a slave
    EXPECT_EQ(State(slave, QStringLiteral("slave")), QStringLiteral("0"));
    master.Send("click 1001");
    ASSERT_TRUE(master.WaitForCount(QStringLiteral("Stopped"), 2, kBound_ms));
    test::SpinFor(500);
    EXPECT_EQ(slave.Count(QStringLiteral("Stopped")), 1) << "it ignores the master now";
}

TEST_F(WindowProcesses, ExitThroughTheWindowStopsAtOnceAndEndsWithCodeZero)
{
    CopyProcess& copy = Launch();
    ASSERT_TRUE(copy.WaitForCount(QStringLiteral("Sending"), 1, kBound_ms));
    EXPECT_EQ(State(copy, QStringLiteral("version")), QStringLiteral("1.0.1.8"));
    copy.Send("click 1");
    copy.Send("answer ok");
    EXPECT_TRUE(copy.WaitForCount(QStringLiteral("Stopped"), 1, kBound_ms));
    ASSERT_TRUE(copy.WaitForExit(kBound_ms));
    EXPECT_TRUE(copy.EndedCleanly()) << copy.Errors().toStdString();
}

// What an operator set up through the window, after a crash: the same copy number comes back
// with it when started with --restore.
TEST_F(WindowProcesses, ASetupMadeInTheWindowComesBackWithRestoreAfterAKill)
{
    QTemporaryDir dir;
    QImage logo(16, 8, QImage::Format_ARGB32);
    logo.fill(qRgba(200, 40, 20, 255));
    const QString path = dir.filePath(QStringLiteral("logo.png"));
    ASSERT_TRUE(logo.save(path));
    CopyProcess& first = Launch();
    ASSERT_TRUE(first.WaitForCount(QStringLiteral("Sending"), 1, kBound_ms));
    // Stop (the menus work while stopped), 640 x 360, 50p, Oscillate1, a pause of 12 frames,
    // Master; then the Overlay setup: the logo loaded, On, a click in the overlay area's middle
    // (the lower right quarter: the area's halves are measured inside its frame), OK.
    for (const QByteArray command : {"click 1001", "menu 1002 32776", "menu 1003 32781", "click 1006", "click 1009",
                                     "type 1034 12", "click 1019", "click 1021", "click 1037"})
        first.Send(command);
    first.Send("pick " + path.toUtf8());
    ASSERT_TRUE(first.WaitForCount(QStringLiteral("picked"), 1, kBound_ms));
    for (const QByteArray command : {"click 1044", "click 1027", "click 1"})
        first.Send(command);
    QFile remembered(qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/ndivantor/copy1.conf"));
    ASSERT_TRUE(test::SpinUntil(
        [&] {
            remembered.open(QIODevice::ReadOnly);
            const QByteArray text = remembered.readAll();
            remembered.close();
            return text.contains("on=true") && text.contains("corner=lower-right") && text.contains("master=true");
        },
        kBound_ms))
        << "remembered: " << (remembered.open(QIODevice::ReadOnly), remembered.readAll().toStdString())
        << first.Lines().join(u'|').toStdString() << first.Errors().toStdString();
    first.Kill();
    copies_.erase(copies_.begin());

    CopyProcess& again = Launch(QStringLiteral(NDIVANTOR_PATH), {QStringLiteral("--restore")});
    EXPECT_EQ(again.Title(), test::TitleLine(1));
    ASSERT_TRUE(again.WaitForCount(QStringLiteral("Sending"), 1, kBound_ms));
    EXPECT_EQ(State(again, QStringLiteral("info")), QStringLiteral("640 x 360 - 50.00 fps"));
    EXPECT_EQ(State(again, QStringLiteral("mode")), QStringLiteral("Wiper-blade mode"));
    EXPECT_EQ(State(again, QStringLiteral("pause")), QStringLiteral("12"));
    EXPECT_EQ(State(again, QStringLiteral("frames")), QStringLiteral("1"));
    EXPECT_EQ(State(again, QStringLiteral("master")), QStringLiteral("1"));
    EXPECT_EQ(State(again, QStringLiteral("logo")), QStringLiteral("1")) << "light red: the overlay is on";
    const auto port = test::SourcePortOf(again.pid());
    ASSERT_TRUE(port.has_value());
    const auto frames = test::GrabFrames(*port, 1, 640, 360);
    ASSERT_EQ(frames.size(), 1u);
    const auto pixel = [&frames](int x, int y) {
        const auto* p = reinterpret_cast<const uint8_t*>(frames[0].constData()) + (size_t(y) * 640 + x) * 4;
        return qRgba(p[2], p[1], p[0], p[3]);
    };
    EXPECT_EQ(pixel(639, 359), logo.pixel(0, 0)) << "the logo in the lower right";
    EXPECT_EQ(pixel(640 - 16, 352), logo.pixel(0, 0));
    EXPECT_EQ(qAlpha(pixel(640 - 17, 359)), 0) << "and nothing beside it";
    EXPECT_EQ(qAlpha(pixel(600, 20)), 0) << "no house watermark";
}

TEST_F(WindowProcesses, ACopyWithoutItsVersionNoteRunsAndShowsAnEmptyVersion)
{
    QTemporaryDir dir;
    const QString stripped = dir.filePath(QStringLiteral("ndivantor"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("objcopy"), {QStringLiteral("--remove-section=.note.vantor.version"),
                                                            QStringLiteral(NDIVANTOR_PATH), stripped}),
              0);
    CopyProcess& copy = Launch(stripped);
    EXPECT_EQ(State(copy, QStringLiteral("version")), QString());
    EXPECT_TRUE(copy.WaitForCount(QStringLiteral("Sending"), 1, kBound_ms));
}

}  // namespace
}  // namespace vantor
