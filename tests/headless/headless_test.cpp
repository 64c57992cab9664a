// The headless program as an operator runs it: it numbers itself, announces its source,
// starts by itself, and ends in order on SIGTERM and SIGINT; and a numbered run of pictures
// loaded through its control API, played in order.

#include "copy_process.h"
#include "stream_client.h"

#include <QElapsedTimer>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace vantor {
namespace {

// Waits until the program has printed the line, or the time is up.
bool WaitForLine(QProcess& program, const QByteArray& line, int timeout_ms)
{
    QElapsedTimer timer;
    timer.start();
    QByteArray seen;
    while (timer.elapsed() < timeout_ms) {
        program.waitForReadyRead(100);
        seen += program.readAllStandardOutput();
        if (seen.split('\n').contains(line))
            return true;
    }
    return false;
}

class HeadlessProgram : public ::testing::TestWithParam<int> {
protected:
    void TearDown() override
    {
        if (program_.state() != QProcess::NotRunning) {
            program_.kill();
            program_.waitForFinished(2000);
        }
    }
    QProcess program_;
};

TEST_P(HeadlessProgram, SendsAfterTwoSecondsAndEndsInOrderOnTheSignal)
{
    program_.start(QStringLiteral(NDIVANTOR_HEADLESS), {});
    ASSERT_TRUE(program_.waitForStarted(5000));
    ASSERT_TRUE(WaitForLine(program_, QByteArrayLiteral("Kelo Vantor for NDI\xC2\xAE - No 1"), 5000));
    ASSERT_TRUE(WaitForLine(program_, "Sending", 5000));
    const auto port = test::SourcePortOf(program_.processId());
    ASSERT_TRUE(port.has_value());
    const auto info = test::ProbeStream(*port);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->title, QStringLiteral("Kelo Vantor 1"));
    EXPECT_EQ(test::GrabFrames(*port, 2, 1280, 720).size(), 2u);

    ::kill(static_cast<pid_t>(program_.processId()), GetParam());
    ASSERT_TRUE(WaitForLine(program_, "Stopped", 3000)) << "the output did not stop at once";
    ASSERT_TRUE(program_.waitForFinished(6000)) << "no shutdown after the stop";
    EXPECT_EQ(program_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program_.exitCode(), 0);
    EXPECT_FALSE(test::IsListening(*port)) << "the source outlived it";
}

INSTANTIATE_TEST_SUITE_P(Signals, HeadlessProgram, ::testing::Values(SIGTERM, SIGINT));

TEST(HeadlessControl, ARunLoadedThroughTheApiPlaysInOrderInPlaceOfTheWatermark)
{
    QTemporaryDir dir;
    const QRgb colours[] = {qRgba(250, 0, 0, 255), qRgba(0, 250, 0, 128), qRgba(0, 0, 250, 255), qRgba(9, 9, 9, 60)};
    for (int i = 0; i < 4; ++i) {
        QImage picture(40, 20, QImage::Format_ARGB32);
        picture.fill(colours[i]);
        ASSERT_TRUE(picture.save(dir.filePath(QStringLiteral("logo%1.png").arg(i + 1))));
    }
    test::CopyProcess copy(QStringLiteral("unix:path=/nonexistent/bus"), test::HeadlessProgram(),
                           {QStringLiteral("--size"), QStringLiteral("640x360")}, test::FreeLocalPort());
    ASSERT_TRUE(copy.WaitForCount(QStringLiteral("Sending"), 1, 10000)) << copy.Errors().toStdString();
    const auto load = [&](const QString& name) {
        const QJsonObject body{{"file", dir.filePath(name)}, {"on", true}};
        return copy.Post(QStringLiteral("/api/overlay"), QJsonDocument(body).toJson());
    };
    ASSERT_EQ(load(QStringLiteral("missing.png")), 400);
    ASSERT_EQ(load(QStringLiteral("logo1.png")), 200);
    const auto port = test::SourcePortOf(copy.pid());
    ASSERT_TRUE(port.has_value());

    const auto frames = test::GrabFrames(*port, 8, 640, 360);
    ASSERT_EQ(frames.size(), 8u);
    std::vector<int> shown;
    for (const QByteArray& frame : frames) {
        // The top right pixel; where the watermark would be, below the pictures, nothing.
        const auto* top_right = reinterpret_cast<const uint8_t*>(frame.constData()) + (640 - 1) * 4;
        const auto* below = reinterpret_cast<const uint8_t*>(frame.constData()) + (size_t(30) * 640 + 600) * 4;
        EXPECT_EQ(below[3], 0) << "the watermark is still on";
        const QRgb seen = qRgba(top_right[2], top_right[1], top_right[0], top_right[3]);
        shown.push_back(int(std::find(std::begin(colours), std::end(colours), seen) - std::begin(colours)));
    }
    for (size_t i = 1; i < shown.size(); ++i)
        EXPECT_EQ(shown[i], (shown[i - 1] + 1) % 4) << ::testing::PrintToString(shown);
}

}  // namespace
}  // namespace vantor
