// The headless program as an operator runs it: it numbers itself, announces its source,
// starts by itself, and ends in order on SIGTERM and SIGINT; a numbered run of pictures loaded
// through its control API, played in order; and animation files at their own speed.

#include "copy_process.h"
#include "stream_client.h"
#include "test_images.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/version_major.h>
#include <libavformat/version_major.h>
#include <libavutil/version.h>
#include <libswscale/version_major.h>
}

#include <algorithm>
#include <csignal>
#include <utility>
#include <vector>

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
    EXPECT_TRUE(copy.WaitForCount(QStringLiteral("Overlay on"), 1, 10000)) << "the copy says when the logo is on";
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

// An animation file, made of twelve solid colours, as a receiver sees it played.
struct AnimationFamily {
    const char* name;
    const char* file;
    int rate;                 // pictures a second in the file
    QStringList encoder;      // ffmpeg's options for it
    int alpha;                // of every picture
    int tolerance;            // per channel: 0 for the lossless codecs
    const char* output_rate;  // the output's frame rate, as --rate takes it
    int shown_even;           // output frames that each even-numbered picture shows for
    int shown_odd;
};

// FFmpeg's libraries shadowed by empty files of their names: the copy starts and sends without
// them, and a movie is refused with the reason while the copy sends on.
TEST(HeadlessMovies, WithoutFfmpegsLibrariesAMovieIsRefusedAndTheCopySendsOn)
{
    QTemporaryDir dir, shadow;
    for (const QString name : {QStringLiteral("libavutil.so.%1").arg(LIBAVUTIL_VERSION_MAJOR),
                               QStringLiteral("libavcodec.so.%1").arg(LIBAVCODEC_VERSION_MAJOR),
                               QStringLiteral("libavformat.so.%1").arg(LIBAVFORMAT_VERSION_MAJOR),
                               QStringLiteral("libswscale.so.%1").arg(LIBSWSCALE_VERSION_MAJOR)}) {
        QFile empty(shadow.filePath(name));
        ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    }
    const QString movie = dir.filePath(QStringLiteral("logo.mov"));
    ASSERT_TRUE(test::EncodeAnimation(movie, test::AnimationColours(200), 64, 32, 25, {"-c:v", "qtrle", "-pix_fmt", "argb"}));
    const QByteArray library_path = qgetenv("LD_LIBRARY_PATH");
    qputenv("LD_LIBRARY_PATH", QFile::encodeName(shadow.path()));
    test::CopyProcess copy(QStringLiteral("unix:path=/nonexistent/bus"), test::HeadlessProgram(),
                           {QStringLiteral("--size"), QStringLiteral("640x360")}, test::FreeLocalPort());
    qputenv("LD_LIBRARY_PATH", library_path);
    ASSERT_TRUE(copy.WaitForCount(QStringLiteral("Sending"), 1, 20000)) << copy.Errors().toStdString();

    const QJsonObject load{{"file", movie}, {"on", true}};
    EXPECT_EQ(copy.Post(QStringLiteral("/api/overlay"), QJsonDocument(load).toJson()), 422);
    EXPECT_TRUE(copy.Errors().contains(QStringLiteral("Movies cannot be read: "))) << copy.Errors().toStdString();
    const auto port = test::SourcePortOf(copy.pid());
    ASSERT_TRUE(port.has_value());
    EXPECT_EQ(test::GrabFrames(*port, 3, 640, 360).size(), 3u);
    EXPECT_TRUE(copy.running());
}

class AnimatedLogo : public ::testing::TestWithParam<AnimationFamily> {};

// The receiver's runs of one colour: each the next colour of the file, with alpha, each as
// long as the picture's time covers. The first and last runs may be cut by the grab.
TEST_P(AnimatedLogo, PlaysEveryPictureInOrderForTheOutputFramesItsTimeCoversWithItsAlpha)
{
    const AnimationFamily& family = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(family.file));
    const std::vector<QRgb> colours = test::AnimationColours(family.alpha);
    ASSERT_TRUE(test::EncodeAnimation(path, colours, 64, 32, family.rate, family.encoder));
    test::CopyProcess copy(QStringLiteral("unix:path=/nonexistent/bus"), test::HeadlessProgram(),
                           {QStringLiteral("--size"), QStringLiteral("640x360"), QStringLiteral("--rate"),
                            QString::fromLatin1(family.output_rate)},
                           test::FreeLocalPort());
    ASSERT_TRUE(copy.WaitForCount(QStringLiteral("Sending"), 1, 20000)) << copy.Errors().toStdString();
    const QJsonObject load{{"file", path}, {"on", true}};
    ASSERT_EQ(copy.Post(QStringLiteral("/api/overlay"), QJsonDocument(load).toJson()), 200) << copy.Errors().toStdString();
    const auto port = test::SourcePortOf(copy.pid());
    ASSERT_TRUE(port.has_value());

    const auto frames = test::GrabFrames(*port, 60, 640, 360);
    ASSERT_EQ(frames.size(), 60u);
    std::vector<std::pair<int, int>> runs;  // colour index, output frames
    for (const QByteArray& frame : frames) {
        const auto* pixel = reinterpret_cast<const uint8_t*>(frame.constData()) + (size_t(10) * 640 + 630) * 4;
        const auto near = [&](QRgb c) {
            return std::abs(pixel[2] - qRed(c)) <= family.tolerance && std::abs(pixel[1] - qGreen(c)) <= family.tolerance &&
                   std::abs(pixel[0] - qBlue(c)) <= family.tolerance && std::abs(pixel[3] - qAlpha(c)) <= family.tolerance;
        };
        if (runs.empty() && pixel[3] == 0)
            continue;  // the stream's start, before the first picture is sent
        const int index = int(std::find_if(colours.begin(), colours.end(), near) - colours.begin());
        ASSERT_LT(index, 12) << "pixel " << int(pixel[2]) << "," << int(pixel[1]) << "," << int(pixel[0]) << " alpha "
                             << int(pixel[3]);
        if (runs.empty() || runs.back().first != index)
            runs.emplace_back(index, 0);
        ++runs.back().second;
    }
    ASSERT_GE(runs.size(), 14u);
    for (size_t i = 1; i + 1 < runs.size(); ++i) {
        EXPECT_EQ(runs[i].first, (runs[i - 1].first + 1) % 12);
        EXPECT_EQ(runs[i].second, runs[i].first % 2 == 0 ? family.shown_even : family.shown_odd)
            << "picture " << runs[i].first;
    }
}

// 25 fps movies at 50p: each picture twice. GIF and WebP of 10 cs at 25p: 2.5 output frames a
// picture, so two and three in turn.
INSTANTIATE_TEST_SUITE_P(
    Families, AnimatedLogo,
    ::testing::Values(
        AnimationFamily{"QuickTimeAnimation", "logo.mov", 25, {"-c:v", "qtrle", "-pix_fmt", "argb"}, 200, 0, "50", 2, 2},
        AnimationFamily{"ProRes4444", "logo.mov", 25,
                        {"-c:v", "prores_ks", "-profile:v", "4444", "-pix_fmt", "yuva444p10le"}, 200, 4, "50", 2, 2},
        AnimationFamily{"PngInMov", "logo.mov", 25, {"-c:v", "png"}, 200, 0, "50", 2, 2},
        AnimationFamily{"Vp9AlphaWebm", "logo.webm", 25,
                        {"-c:v", "libvpx-vp9", "-pix_fmt", "yuva420p", "-lossless", "1"}, 200, 4, "50", 2, 2},
        AnimationFamily{"AnimatedGif", "logo.gif", 10,
                        {"-vf", "split[a][b];[a]palettegen[p];[b][p]paletteuse"}, 255, 0, "25", 2, 3},
        AnimationFamily{"AnimatedWebp", "logo.webp", 10, {"-c:v", "libwebp_anim", "-lossless", "1", "-loop", "0"}, 200,
                        0, "25", 2, 3}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vantor
