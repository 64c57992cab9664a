// Animation files that load only in part, or not at all: each gets one sentence, and what did
// load keeps its pictures and timing.

#include "imagery/animation_load.h"
#include "spin_until.h"
#include "test_images.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace vantor {
namespace {

// Room for the whole load's measure and `frames` frames' checks, then none.
MemoryGauge RoomForFrames(int frames)
{
    auto asked = std::make_shared<int>(0);
    return [asked, frames]() -> std::optional<int64_t> {
        return ++*asked <= 1 + frames ? int64_t{1} << 40 : 0;
    };
}

bool MakeSilentMovie(const QString& path)
{
    return QProcess::execute(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"),
                                                        QStringLiteral("-f"), QStringLiteral("lavfi"),
                                                        QStringLiteral("-i"), QStringLiteral("sine=d=0.5"),
                                                        QStringLiteral("-c:a"), QStringLiteral("pcm_s16le"), path}) == 0;
}

// Keeps the first part of the file.
void Truncate(const QString& path, double kept)
{
    QFile file(path);
    ASSERT_TRUE(file.resize(qint64(double(file.size()) * kept)));
}

struct BadFile {
    const char* name;
    const char* file;
    std::function<void(const QString&)> make;
    MemoryGauge memory;
    int frames_kept;
    const char* said;  // the start of the failure, or of the first note when frames are kept
};

class AnimationLoadOfBadFiles : public ::testing::TestWithParam<BadFile> {};

TEST_P(AnimationLoadOfBadFiles, SaysWhyInOneSentenceAndKeepsWhatLoaded)
{
    const BadFile& bad = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(bad.file));
    bad.make(path);
    AnimationLoad load(path, bad.memory);
    ASSERT_TRUE(test::SpinUntil([&] { return load.done(); }, 30000));
    const AnimationResult result = load.TakeResult();
    EXPECT_EQ(result.count, bad.frames_kept);
    const QString said = bad.frames_kept == 0 ? result.failure : result.notes.value(0);
    EXPECT_TRUE(said.startsWith(QString::fromLatin1(bad.said))) << said.toStdString();
    int linked = 0;
    for (const SequenceFrame* frame = result.frames.get(); frame; frame = frame->next)
        linked += frame->image.IsCompositable() && frame->duration > 0;
    EXPECT_EQ(linked, bad.frames_kept);
}

const QStringList kQtrle{"-c:v", "qtrle", "-pix_fmt", "argb"};

INSTANTIATE_TEST_SUITE_P(
    Files, AnimationLoadOfBadFiles,
    ::testing::Values(
        BadFile{"NoVideoStream", "sound.mov", [](const QString& p) { ASSERT_TRUE(MakeSilentMovie(p)); },
                AvailableMemoryBytes, 0, "The file holds no video stream."},
        BadFile{"NotAMovie", "text.mov", [](const QString& p) { test::WriteBytes(p, QByteArray(4000, 'x')); },
                AvailableMemoryBytes, 0, "The file is not a movie"},
        BadFile{"CutBeforeItsIndex", "cut.mov",
                [](const QString& p) {
                    ASSERT_TRUE(test::EncodeAnimation(p, test::AnimationColours(200), 64, 32, 25, kQtrle));
                    Truncate(p, 0.6);
                },
                AvailableMemoryBytes, 0, "The file is not a movie"},
        BadFile{"CutInItsPictures", "cut.mov",
                [](const QString& p) {
                    ASSERT_TRUE(test::EncodeAnimation(p, test::AnimationColours(200), 64, 32, 25,
                                                      kQtrle + QStringList{"-movflags", "+faststart"}));
                    Truncate(p, 0.6);
                },
                AvailableMemoryBytes, 6, "The file ends after 6 of the 12 frames"},
        BadFile{"TooLargeForMemory", "big.mov",
                [](const QString& p) {
                    ASSERT_TRUE(test::EncodeAnimation(p, test::AnimationColours(200), 64, 32, 25, kQtrle));
                },
                RoomForFrames(5), 5, "not enough memory for 12 frames of 64 x 32"},
        BadFile{"MovieWithoutAlpha", "opaque.mp4",
                [](const QString& p) {
                    ASSERT_TRUE(test::EncodeAnimation(p, test::AnimationColours(255), 64, 32, 25,
                                                      {"-c:v", "mpeg4", "-pix_fmt", "yuv420p"}));
                },
                AvailableMemoryBytes, 12, "The movie has no alpha channel"},
        BadFile{"GifCutInItsPictures", "cut.gif",
                [](const QString& p) {
                    ASSERT_TRUE(test::EncodeAnimation(p, test::AnimationColours(255), 64, 32, 10, {}));
                    Truncate(p, 0.5);
                },
                AvailableMemoryBytes, 6, "The animation is damaged after frame 6"}),
    [](const auto& info) { return std::string(info.param.name); });

// Browsers show GIF frames that ask for under 2 cs for 10 cs.
TEST(AnimationLoadOfGif, FramesOf1CentisecondLast10)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fast.gif"));
    ASSERT_TRUE(test::EncodeAnimation(path, test::AnimationColours(255), 16, 8, 100, {}));
    AnimationLoad load(path, AvailableMemoryBytes);
    ASSERT_TRUE(test::SpinUntil([&] { return load.done(); }, 30000));
    const AnimationResult result = load.TakeResult();
    ASSERT_EQ(result.count, 12);
    EXPECT_EQ(result.time_base_num * 1000, result.time_base_den);
    for (const SequenceFrame* frame = result.frames.get(); frame; frame = frame->next)
        EXPECT_EQ(frame->duration, 100);
}

// The load reads the file its opener opened (a folder's, opened beneath it), never the path
// again: a file swapped in under the name afterwards is not the one decoded.
class AnimationLoadThroughItsOpener : public ::testing::TestWithParam<const char*> {};

TEST_P(AnimationLoadThroughItsOpener, DecodesTheFileOpenedNotTheOneAtThePath)
{
    QTemporaryDir dir;
    const QString named = dir.filePath(QStringLiteral("named.") + QString::fromLatin1(GetParam()));
    const QString opened = dir.filePath(QStringLiteral("opened.") + QString::fromLatin1(GetParam()));
    const QStringList options = QString::fromLatin1(GetParam()) == QStringLiteral("mov") ? kQtrle : QStringList{};
    ASSERT_TRUE(test::EncodeAnimation(named, test::AnimationColours(255), 64, 32, 10, options));
    ASSERT_TRUE(test::EncodeAnimation(opened, test::AnimationColours(255), 48, 24, 10, options));
    QStringList asked;
    AnimationLoad load(named, AvailableMemoryBytes, [&](const QString& path) {
        asked << path;
        return OpenRegularFile(opened);
    });
    ASSERT_TRUE(test::SpinUntil([&] { return load.done(); }, 30000));
    const AnimationResult result = load.TakeResult();
    EXPECT_EQ(asked, QStringList{named});
    ASSERT_EQ(result.count, 12) << result.failure.toStdString();
    EXPECT_EQ(result.frames->image.width, 48);
}

INSTANTIATE_TEST_SUITE_P(Files, AnimationLoadThroughItsOpener, ::testing::Values("gif", "mov"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace vantor
