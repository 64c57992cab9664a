// The headless program as an operator runs it: it numbers itself, announces its source,
// starts by itself, and ends in order on SIGTERM and SIGINT.

#include "stream_client.h"

#include <QElapsedTimer>
#include <QProcess>

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

}  // namespace
}  // namespace vantor
