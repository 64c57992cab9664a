// A headless copy's figures for monitoring as Prometheus scrapes them: curl fetches /metrics,
// Prometheus's own promtool checks the format, and the frame counter keeps up with what a real
// receiver decodes.

#include "copy_process.h"
#include "stream_client.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>

#include <gtest/gtest.h>

namespace vantor {
namespace {

constexpr int kBound_ms = 20000;
const QString kToken = QStringLiteral("monitoring-7");

struct Scrape {
    int status = 0;
    QByteArray body;
};

class MetricsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port_ = probe.serverPort();
        probe.close();
        copy_ = std::make_unique<test::CopyProcess>(
            QStringLiteral("unix:path=/nonexistent/bus"), test::HeadlessProgram(),
            QStringList{QStringLiteral("--control"), QStringLiteral("127.0.0.1:%1").arg(port_),
                        QStringLiteral("--control-token"), kToken, QStringLiteral("--size"), QStringLiteral("640x360")});
        ASSERT_TRUE(copy_->WaitForCount(QStringLiteral("Sending"), 1, kBound_ms)) << copy_->Errors().toStdString();
    }

    Scrape Get(const QStringList& headers)
    {
        QProcess curl;
        curl.start(QStringLiteral("curl"), QStringList{QStringLiteral("-s"), QStringLiteral("-w"), QStringLiteral("\n%{http_code}"),
                                                       QStringLiteral("http://127.0.0.1:%1/metrics").arg(port_)} +
                                               headers);
        curl.waitForFinished(kBound_ms);
        const QByteArray out = curl.readAllStandardOutput();
        const qsizetype end = out.lastIndexOf('\n');
        return {out.mid(end + 1).toInt(), out.left(end)};
    }
    Scrape Get() { return Get({QStringLiteral("-H"), QStringLiteral("Authorization: Bearer ") + kToken}); }

    quint16 port_ = 0;
    std::unique_ptr<test::CopyProcess> copy_;
};

double Figure(const QByteArray& text, const QString& name)
{
    const auto match = QRegularExpression(QStringLiteral("^%1 (\\S+)$").arg(QRegularExpression::escape(name)),
                                          QRegularExpression::MultilineOption)
                           .match(QString::fromUtf8(text));
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

TEST_F(MetricsTest, FiguresPassPromtoolAndCountTheFramesAReceiverDecodes)
{
    EXPECT_EQ(Get({}).status, 401) << "the token rule of the API holds for the figures too";
    const auto source_port = test::SourcePortOf(copy_->pid());
    ASSERT_TRUE(source_port.has_value());
    const Scrape before = Get();
    ASSERT_EQ(before.status, 200);

    constexpr int kFrames = 12;
    auto receiver = test::StartReceiving(*source_port, kFrames);
    const QString receivers = QStringLiteral("ndivantor_receivers");
    Scrape watched = Get();
    QElapsedTimer waited;
    waited.start();
    while (Figure(watched.body, receivers) != 1 && waited.elapsed() < 5000)  // ffmpeg takes a moment to connect
        watched = Get();
    const auto frames = test::ReceivedFrames(*receiver, 640, 360);
    ASSERT_EQ(frames.size(), size_t(kFrames));
    const Scrape after = Get();

    QProcess promtool;
    promtool.start(QStringLiteral("promtool"), {QStringLiteral("check"), QStringLiteral("metrics")});
    promtool.write(after.body);
    promtool.closeWriteChannel();
    ASSERT_TRUE(promtool.waitForFinished(kBound_ms));
    EXPECT_EQ(promtool.exitCode(), 0) << promtool.readAllStandardOutput().toStdString() << after.body.toStdString();
    EXPECT_EQ(promtool.readAll(), QByteArray()) << "promtool has a word on the figures";

    const QString sent = QStringLiteral("ndivantor_frames_sent_total");
    EXPECT_GE(Figure(after.body, sent) - Figure(before.body, sent), kFrames - 1) << "each frame decoded was sent";
    EXPECT_EQ(Figure(after.body, QStringLiteral("ndivantor_frame_lateness_seconds_count")), Figure(after.body, sent))
        << "every frame sent is in the histogram";
    EXPECT_GT(Figure(after.body, QStringLiteral("ndivantor_bytes_sent_total")),
              Figure(before.body, QStringLiteral("ndivantor_bytes_sent_total")) + 1000);
    EXPECT_EQ(Figure(before.body, receivers), 0);
    EXPECT_EQ(Figure(watched.body, receivers), 1) << watched.body.toStdString();
    EXPECT_EQ(Figure(after.body, QStringLiteral("ndivantor_sending")), 1);
    EXPECT_EQ(Figure(after.body, QStringLiteral("ndivantor_overlay_on")), 0);
}

}  // namespace
}  // namespace vantor
