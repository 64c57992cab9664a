// ndivantor-headless started from its command line and its setup files, as a server runs it:
// the operator's logo at the operator's place and format, seen by a real receiver; a logo that
// does not load leaves the copy on air; bad input is refused before anything starts.

#include "copy_process.h"
#include "stream_client.h"
#include "test_images.h"
#include "support/qt_printers.h"
#include "support/spin_until.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantor {
namespace {

using test::CopyProcess;

constexpr int kBound_ms = 20000;
const QString kNoBus = QStringLiteral("unix:path=/nonexistent/bus");  // the copy runs alone, as No 1

// The BGRA pixel at (x, y) of a decoded frame, as one little-endian word.
uint32_t PixelAt(const QByteArray& frame, int width, int x, int y)
{
    uint32_t bgra;
    std::memcpy(&bgra, frame.constData() + (size_t(y) * width + x) * 4, 4);
    return bgra;
}

// Whether the house watermark shows: its place is the frame's upper right.
bool ShowsWatermark(const QByteArray& frame)
{
    for (int x = 780; x < 1260; ++x)
        if (PixelAt(frame, 1280, x, 100) >> 24 != 0)
            return true;
    return false;
}

class Launch : public ::testing::Test {
protected:
    QString Picture(const QString& name, QRgb colour) { return test::SaveSolidPicture(dir_.filePath(name), 40, 20, colour); }

    CopyProcess& Start(const QStringList& arguments)
    {
        copy_ = std::make_unique<CopyProcess>(kNoBus, test::HeadlessProgram(), arguments);
        EXPECT_TRUE(copy_->started());
        return *copy_;
    }

    QTemporaryDir dir_;
    std::unique_ptr<CopyProcess> copy_;
};

TEST_F(Launch, OptionsSendTheNumberedRunAnimatingAtItsPlaceInTheirFormatOverASetupFileThatDisagrees)
{
    const QRgb colours[] = {qRgba(250, 0, 0, 255), qRgba(0, 250, 0, 128), qRgba(0, 0, 250, 255)};
    for (int i = 0; i < 3; ++i)
        Picture(QStringLiteral("bug%1.png").arg(i + 7, 2, 10, QLatin1Char('0')), colours[i]);
    const QString setup = dir_.filePath(QStringLiteral("setup.conf"));
    QFile file(setup);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("corner=upper-right\noffset=100,50\nsize=1280x720\nrate=25\non=false\n");
    file.close();
    CopyProcess& copy = Start({QStringLiteral("--config"), setup, QStringLiteral("--overlay"), dir_.filePath(QStringLiteral("bug07.png")),
                               QStringLiteral("--corner"), QStringLiteral("lower-left"), QStringLiteral("--offset"),
                               QStringLiteral("10,20"), QStringLiteral("--on"), QStringLiteral("--size"),
                               QStringLiteral("640x360"), QStringLiteral("--rate"), QStringLiteral("50")});
    ASSERT_TRUE(copy.WaitForCount(QStringLiteral("Sending"), 1, kBound_ms)) << copy.Errors().toStdString();
    const auto port = test::SourcePortOf(copy.pid());
    ASSERT_TRUE(port.has_value());
    const auto info = test::ProbeStream(*port);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->width, 640);
    EXPECT_EQ(info->height, 360);
    EXPECT_EQ(info->frame_rate, QStringLiteral("50/1"));

    const auto frames = test::GrabFrames(*port, 6, 640, 360);
    ASSERT_EQ(frames.size(), 6u);
    std::vector<int> shown;
    for (const QByteArray& frame : frames) {
        // The logo's corner pixels: 10 in from the left edge, 20 up from the bottom one.
        const uint32_t bottom_left = PixelAt(frame, 640, 10, 360 - 21);
        EXPECT_EQ(PixelAt(frame, 640, 49, 360 - 40), bottom_left) << "one picture, 40 x 20";
        EXPECT_EQ(PixelAt(frame, 640, 9, 360 - 21), 0u) << "nothing left of the logo";
        EXPECT_EQ(PixelAt(frame, 640, 10, 360 - 20), 0u) << "nothing below it";
        EXPECT_EQ(PixelAt(frame, 640, 600, 10), 0u) << "the house watermark has gone";
        const auto at = std::find(std::begin(colours), std::end(colours), QRgb(bottom_left));
        shown.push_back(int(at - std::begin(colours)));
    }
    for (size_t i = 1; i < shown.size(); ++i)
        EXPECT_EQ(shown[i], (shown[i - 1] + 1) % 3) << ::testing::PrintToString(shown);
}

TEST_F(Launch, ALogoThatDoesNotLoadLeavesTheCopyOnAirWithTheWatermarkAndSaysWhy)
{
    const QString missing = dir_.filePath(QStringLiteral("moved.png"));
    CopyProcess& copy = Start({QStringLiteral("--overlay"), missing, QStringLiteral("--on")});
    ASSERT_TRUE(copy.WaitForCount(QStringLiteral("Sending"), 1, kBound_ms));
    EXPECT_TRUE(copy.Errors().contains(QStringLiteral("ndivantor-headless: the logo did not load, so the house watermark "
                                                      "goes on air: %1: The file does not exist.")
                                           .arg(missing)))
        << copy.Errors().toStdString();
    const auto port = test::SourcePortOf(copy.pid());
    ASSERT_TRUE(port.has_value());
    const auto frames = test::GrabFrames(*port, 1, 1280, 720);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_TRUE(ShowsWatermark(frames[0])) << "the house watermark at its place";
}

// A copy restarted (by hand or by its service manager) with its logo on opens its source only
// once the logo is in: from the very first frame a receiver can get, never the house watermark.
TEST_F(Launch, ACopyStartedWithItsLogoOnNeverSendsTheWatermark)
{
    const QString logo = Picture(QStringLiteral("bug.png"), qRgba(0, 0, 250, 255));
    const QString setup = dir_.filePath(QStringLiteral("setup.conf"));
    const QString remembered = qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/ndivantor/copy1.conf");
    // The arguments, and the file that says the logo is on (none: the options say it).
    const std::pair<QStringList, QString> starts[] = {
        {{"--overlay", logo, "--on", "--corner", "upper-left"}, {}},
        {{"--config", setup}, setup},
        {{"--restore"}, remembered},
    };
    for (const auto& [arguments, file] : starts) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        if (!file.isEmpty()) {
            QDir().mkpath(QFileInfo(file).path());
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(QStringLiteral("overlay=%1\non=true\ncorner=upper-left\n").arg(logo).toUtf8());
        }
        CopyProcess& copy = Start(arguments);
        // A receiver that tries at once: the first port the copy listens on.
        std::optional<uint16_t> port;
        ASSERT_TRUE(test::SpinUntil([&] { return (port = test::SourcePortOf(copy.pid())).has_value(); }, kBound_ms));
        const auto frames = test::GrabFrames(*port, 3, 1280, 720);
        ASSERT_EQ(frames.size(), 3u) << copy.Errors().toStdString();
        for (const QByteArray& frame : frames) {
            EXPECT_EQ(PixelAt(frame, 1280, 0, 0), 0xFF0000FAu) << "the logo, in the upper left corner";
            EXPECT_FALSE(ShowsWatermark(frame));
        }
    }
}

struct BadInput {
    const char* what;
    QStringList arguments;
    const char* file;      // the text of a setup file given with --config; null for none
    const char* expected;  // after "ndivantor-headless: "; %1 is the setup file's path
};

TEST_F(Launch, BadInputIsOneLineAndExitCodeTwoBeforeAnythingStarts)
{
    const BadInput cases[] = {
        {"corner", {"--corner", "middle"}, nullptr,
         "--corner takes upper-left, upper-right, lower-left or lower-right, not \"middle\""},
        {"offset", {"--offset", "10,1101"}, nullptr,
         "--offset takes X,Y with X from 0 to 2100 and Y from 0 to 1100, such as 10,20, not \"10,1101\""},
        {"size", {"--size", "1920x1081"}, nullptr,
         "--size takes 4096x2160, 3840x2160, 2560x1440, 1920x1080, 1280x720, 960x540, 720x576, 720x480 or "
         "640x360, not \"1920x1081\""},
        {"rate", {"--rate", "24"}, nullptr, "--rate takes 25, 29.97, 30, 50 or 60, not \"24\""},
        {"pause", {"--pause", "100s"}, nullptr,
         "--pause takes a number from 0 to 99 followed by s (seconds) or f (frames), such as 5s or 12f, not \"100s\""},
        {"unknown option", {"--frobnicate"}, nullptr, "unknown option --frobnicate. See --help."},
        {"two roles", {"--master", "--no-sync"}, nullptr, "--master and --no-sync exclude each other"},
        {"missing value", {"--mode"}, nullptr, "Missing value after '--mode'. See --help."},
        {"any IPv4 address without a token", {"--control", "0.0.0.0:8080"}, nullptr,
         "the control API on 0.0.0.0:8080 needs a token: --control-token or --control-token-file"},
        {"any IPv6 address without a token", {"--control", "[::]:8080"}, nullptr,
         "the control API on [::]:8080 needs a token: --control-token or --control-token-file"},
        {"file line", {}, "corner=lower-left\n# the place\noffset=10;20\n",
         "%1:3: offset takes X,Y with X from 0 to 2100 and Y from 0 to 1100, such as 10,20, not \"10;20\""},
        {"file flag", {}, "on=maybe\n", "%1:1: on takes true or false, not \"maybe\""},
        {"file twice", {}, "size=1920x1080\n\nsize=1280x720\n", "%1:3: size is given twice (first on line 1)"},
        {"file key", {}, "colour=red\n",
         "%1:1: unknown key \"colour\"; the keys are overlay, corner, offset, on, solid, size, rate, mode, pause, "
         "one-shot, run-rate, fade, opacity, safe-area, cycle, scale, master, slave, no-sync, control, control-token, "
         "control-token-file, control-files"},
        {"bad file and good options", {"--corner", "lower-left"}, "mode=sideways\n",
         "%1:1: mode takes forward, reverse, oscillate1 or oscillate2, not \"sideways\""},
        {"offset past the edge", {"--offset", "1280,0"}, nullptr,
         "--offset 1280,0 puts the logo wholly outside the 1280x720 frame: the largest offset that keeps a pixel of "
         "it in is 1279,719"},
        {"offset past the bottom of a smaller size", {"--size", "640x360", "--offset", "10,360"}, nullptr,
         "--offset 10,360 puts the logo wholly outside the 640x360 frame: the largest offset that keeps a pixel of "
         "it in is 639,359"},
        {"file offset past its size", {}, "size=640x360\noffset=700,10\n",
         "%1:2: offset 700,10 puts the logo wholly outside the 640x360 frame: the largest offset that keeps a pixel "
         "of it in is 639,359"},
        {"file offset past the size given", {"--size", "640x360"}, "offset=700,10\n",
         "%1: offset 700,10 puts the logo wholly outside the 640x360 frame: the largest offset that keeps a pixel "
         "of it in is 639,359"},
    };
    for (const BadInput& bad : cases) {
        SCOPED_TRACE(bad.what);
        QStringList arguments = bad.arguments;
        const QString file = dir_.filePath(QStringLiteral("setup.conf"));
        if (bad.file) {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(bad.file);
            arguments << QStringLiteral("--config") << file;
        }
        CopyProcess& copy = Start(arguments);
        ASSERT_TRUE(copy.WaitForExit(kBound_ms));
        EXPECT_FALSE(copy.EndedCleanly());
        EXPECT_EQ(copy.exit_code(), 2);
        // The runtime names itself when it starts, before any port is taken: it never did.
        const QString expected = QString::fromUtf8(bad.expected);
        EXPECT_EQ(copy.Errors(),
                  QStringLiteral("ndivantor-headless: ") + (bad.file ? expected.arg(file) : expected) + u'\n');
        EXPECT_TRUE(copy.Lines().isEmpty());
    }
}

}  // namespace
}  // namespace vantor
