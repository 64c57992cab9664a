#include "imagery/image_decoder.h"
#include "imagery/sequence_loader.h"
#include "recording_loader_host.h"
#include "test_images.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantor {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Lines = std::vector<std::string>;

Lines ToLines(const QStringList& list)
{
    Lines lines;
    for (const QString& s : list)
        lines.push_back(s.toStdString());
    return lines;
}

std::vector<int32_t> Range(int32_t from, int32_t to)
{
    std::vector<int32_t> numbers;
    for (int32_t n = from; n <= to; ++n)
        numbers.push_back(n);
    return numbers;
}

class SequenceLoading : public ::testing::Test {
protected:
    QString PathOf(const QString& file) const { return dir_.filePath(file); }

    // A picture whose every pixel's blue byte is the number, so a frame shows which file it
    // came from.
    void WritePicture(const QString& file, int number, int w = 6, int h = 4)
    {
        QImage picture(w, h, QImage::Format_ARGB32);
        picture.fill(qRgba(10, 20, number % 256, 255));
        ASSERT_TRUE(picture.save(PathOf(file), "PNG")) << qPrintable(file);
    }

    static QString FileOf(const char* stem, int number, int digits)
    {
        return QString::fromLatin1(stem) + QString::asprintf("%0*d", digits, number) + QStringLiteral(".png");
    }

    void MakeRun(const char* stem, int from, int to, int digits)
    {
        for (int n = from; n <= to; ++n)
            WritePicture(FileOf(stem, n, digits), n);
    }

    void Pick(const QString& file)
    {
        host_.pick_path = file.isEmpty() ? QString() : PathOf(file);
        loader_.LoadOverlay();
    }

    // Picks the file and runs every step the load schedules.
    void PickAndLoad(const QString& file)
    {
        Pick(file);
        test::RunPendingSteps(loader_, host_);
    }

    // The numbers along the next links; checks on the way that every prev link points back
    // and that `last` is the end, and that each frame holds its own file's picture.
    std::vector<int32_t> ListNumbers() const
    {
        std::vector<int32_t> numbers;
        const SequenceFrame* previous = nullptr;
        for (const SequenceFrame* f = &overlay_.frames.first; f; f = f->next) {
            EXPECT_EQ(f->prev, previous) << "frame " << f->number;
            if (f->image.IsCompositable()) {
                EXPECT_EQ(f->image.pixels[0], f->number % 256) << "frame " << f->number;
            }
            numbers.push_back(f->number);
            previous = f;
        }
        EXPECT_EQ(overlay_.frames.last, previous);
        return numbers;
    }

    Lines Log() const { return ToLines(host_.log); }

    Lines LogTail(int count) const
    {
        const Lines all = Log();
        return Lines(all.end() - std::min<ptrdiff_t>(count, all.size()), all.end());
    }

    QTemporaryDir dir_;
    OverlayState overlay_;
    std::atomic<bool> is_sequence_{false};
    std::atomic<const SequenceFrame*> send_current_{nullptr};
    std::atomic<const SequenceFrame*> preview_current_{nullptr};
    test::RecordingLoaderHost host_;
    SequenceLoader loader_{overlay_, {is_sequence_, send_current_, preview_current_}, host_};
};

TEST_F(SequenceLoading, AHundredFilesAreOfferedThenLoadedOnePerStep)
{
    MakeRun("spin", 1, 100, 4);
    overlay_.overlay_on = 1;
    Pick(QStringLiteral("spin0001.png"));

    // The first step has run before the question's handler returned.
    const std::string question = "ask Sequence detection: Sequence exists - ending with:\n\n" +
                                 PathOf(QStringLiteral("spin0100.png")).toStdString() +
                                 "\n\nLoad 99 more images?";
    EXPECT_THAT(Log(), ElementsAre("choose", "show spin0001.png 6x4", question, "progress 0..100 at 1",
                                   "label Loading spin0002", "thumbnail spin0002.png", "position 2",
                                   "schedule 10", "overlay label Overlay OFF"));
    EXPECT_EQ(overlay_.frames.expected_count, 100);
    EXPECT_EQ(overlay_.frames.frame_count, 2);
    EXPECT_TRUE(overlay_.frames.loading);
    EXPECT_FALSE(is_sequence_) << "the send loop keeps to the first frame while the list grows";
    EXPECT_EQ(overlay_.overlay_on, 0);

    EXPECT_EQ(test::RunPendingSteps(loader_, host_), 99);
    EXPECT_THAT(LogTail(7), ElementsAre("label Loading spin0100", "thumbnail spin0100.png", "position 100",
                                        "schedule 10",
                                        "message Sequence detection: Final image number 100\n\nSequence length = 100",
                                        "hide progress", "overlay label Overlay ON"));
    EXPECT_EQ(host_.log.count(QStringLiteral("schedule 10")), 99);
    EXPECT_THAT(ListNumbers(), ElementsAreArray(Range(1, 100)));
    EXPECT_EQ(overlay_.frames.frame_count, 100);
    EXPECT_FALSE(overlay_.frames.loading);
    EXPECT_TRUE(is_sequence_);
    EXPECT_EQ(overlay_.overlay_on, 1) << "the overlay is back as it was before Load Overlay";
    EXPECT_EQ(send_current_, &overlay_.frames.first);
    EXPECT_EQ(preview_current_, &overlay_.frames.first);
}

TEST_F(SequenceLoading, ASinglyNumberedRunGrowsPastItsDigitCount)
{
    MakeRun("frame", 9, 11, 1);
    PickAndLoad(QStringLiteral("frame9.png"));
    EXPECT_TRUE(host_.log.contains(QStringLiteral("ask Sequence detection: Sequence exists - ending with:\n\n") +
                                   PathOf(QStringLiteral("frame11.png")) + QStringLiteral("\n\nLoad 2 more images?")));
    EXPECT_TRUE(host_.log.contains(QStringLiteral("label Loading frame10")));
    EXPECT_TRUE(host_.log.contains(QStringLiteral("label Loading frame11")));
    EXPECT_THAT(ListNumbers(), ElementsAre(9, 10, 11));
    EXPECT_EQ(LogTail(3).front(), "message Sequence detection: Final image number 11\n\nSequence length = 3");
}

TEST_F(SequenceLoading, ANameWithoutNumberIsTheWholeOverlayWithoutAWord)
{
    WritePicture(QStringLiteral("logo.png"), 0, 9, 5);
    overlay_.overlay_on = 1;
    Pick(QStringLiteral("logo.png"));
    EXPECT_THAT(Log(), ElementsAre("choose", "show logo.png 9x5", "overlay label Overlay OFF"));
    EXPECT_THAT(ListNumbers(), ElementsAre(0));
    EXPECT_EQ(overlay_.overlay_on, 0) << "a new picture waits to be switched on";
    EXPECT_FALSE(is_sequence_);
}

TEST_F(SequenceLoading, ANumberedFileWithoutSuccessorAsksNothing)
{
    WritePicture(QStringLiteral("solo0042.png"), 42);
    Pick(QStringLiteral("solo0042.png"));
    EXPECT_THAT(Log(), ElementsAre("choose", "show solo0042.png 6x4", "overlay label Overlay OFF"));
    EXPECT_THAT(ListNumbers(), ElementsAre(42));
}

TEST_F(SequenceLoading, DecliningTheQuestionKeepsThePickedPictureAlone)
{
    MakeRun("spin", 1, 5, 4);
    overlay_.overlay_on = 1;
    host_.answer_ok = false;
    Pick(QStringLiteral("spin0001.png"));
    EXPECT_EQ(LogTail(1).front(), "overlay label Overlay OFF");
    EXPECT_FALSE(host_.StepPending());
    EXPECT_THAT(ListNumbers(), ElementsAre(1));
    EXPECT_EQ(overlay_.frames.frame_count, 5) << "the probed count stays";
    EXPECT_FALSE(overlay_.frames.loading);
    EXPECT_FALSE(is_sequence_);
    EXPECT_EQ(overlay_.overlay_on, 0);
}

TEST_F(SequenceLoading, StopRightAfterOkLetsExactlyOneMoreFrameLoad)
{
    MakeRun("spin", 1, 20, 4);
    Pick(QStringLiteral("spin0001.png"));
    overlay_.frames.loading = false;  // Stop
    EXPECT_EQ(test::RunPendingSteps(loader_, host_), 1);
    EXPECT_THAT(ListNumbers(), ElementsAre(1, 2, 3));
    EXPECT_THAT(LogTail(6), ElementsAre("label Loading spin0003", "thumbnail spin0003.png", "position 3",
                                        "message Sequence detection: Final image number 3\n\nSequence length = 3",
                                        "hide progress", "overlay label Overlay OFF"));
    EXPECT_TRUE(is_sequence_);
}

TEST_F(SequenceLoading, AFileDeletedAfterTheQuestionEndsTheLoadNormally)
{
    MakeRun("spin", 1, 10, 4);
    host_.on_question = [this] { QFile::remove(PathOf(QStringLiteral("spin0005.png"))); };
    overlay_.overlay_on = 1;
    PickAndLoad(QStringLiteral("spin0001.png"));
    EXPECT_THAT(ListNumbers(), ElementsAre(1, 2, 3, 4));
    EXPECT_THAT(LogTail(3), ElementsAre("message Sequence detection: Final image number 4\n\nSequence length = 4",
                                        "hide progress", "overlay label Overlay ON"));
    EXPECT_TRUE(is_sequence_);
    EXPECT_EQ(overlay_.overlay_on, 1);
}

TEST_F(SequenceLoading, AnUndecodableFileInTheRunEndsTheLoadWithTheFramesBeforeIt)
{
    MakeRun("spin", 1, 10, 4);
    test::WriteBytes(PathOf(QStringLiteral("spin0003.png")), "not a picture at all");
    PickAndLoad(QStringLiteral("spin0001.png"));
    EXPECT_TRUE(host_.log.contains(QStringLiteral("ask Sequence detection: Sequence exists - ending with:\n\n") +
                                   PathOf(QStringLiteral("spin0010.png")) + QStringLiteral("\n\nLoad 9 more images?")))
        << "the probe only opens the files";
    EXPECT_THAT(ListNumbers(), ElementsAre(1, 2));
    EXPECT_THAT(LogTail(4), ElementsAre("failed spin0003.png",
                                        "message Sequence detection: Final image number 2\n\nSequence length = 2",
                                        "hide progress", "overlay label Overlay OFF"));
    EXPECT_FALSE(host_.log.contains(QStringLiteral("label Loading spin0003")));
    EXPECT_TRUE(is_sequence_);
}

TEST_F(SequenceLoading, FilesAddedAfterTheProbeAreLoadedToo)
{
    MakeRun("spin", 1, 3, 4);
    host_.on_question = [this] { MakeRun("spin", 4, 6, 4); };
    PickAndLoad(QStringLiteral("spin0001.png"));
    EXPECT_EQ(overlay_.frames.expected_count, 3);
    EXPECT_THAT(ListNumbers(), ElementsAre(1, 2, 3, 4, 5, 6));
    EXPECT_EQ(LogTail(3).front(), "message Sequence detection: Final image number 6\n\nSequence length = 6");
}

TEST_F(SequenceLoading, NoMemoryForANodeDropsAllButTheFirstFrameAndSaysSo)
{
    MakeRun("spin", 1, 10, 4);
    int allocations = 0;
    SequenceLoader loader(overlay_, {is_sequence_, send_current_, preview_current_}, host_, [&allocations] {
        return ++allocations == 3 ? nullptr : AllocateNode();
    });
    overlay_.overlay_on = 1;
    host_.pick_path = PathOf(QStringLiteral("spin0001.png"));
    loader.LoadOverlay();
    test::RunPendingSteps(loader, host_);
    EXPECT_THAT(LogTail(5), ElementsAre("schedule 10", "message : Sequence load failed\n\nOut of memory",
                                        "message Sequence detection: Final image number 1\n\nSequence length = 1",
                                        "hide progress", "overlay label Overlay ON"));
    EXPECT_THAT(ListNumbers(), ElementsAre(1));
    EXPECT_EQ(overlay_.frames.frame_count, 1);
    EXPECT_FALSE(overlay_.frames.loading);
    EXPECT_FALSE(is_sequence_);
    EXPECT_EQ(send_current_, &overlay_.frames.first);
}

// A FIFO named like the next file would block whoever opens it for reading: it ends the run
// like a file that is not there, and the load never waits on it.
TEST_F(SequenceLoading, AFifoInTheRunEndsItWithoutBlocking)
{
    MakeRun("spin", 1, 2, 4);
    ASSERT_EQ(::mkfifo(qPrintable(PathOf(QStringLiteral("spin0003.png"))), 0644), 0);
    MakeRun("spin", 4, 5, 4);
    PickAndLoad(QStringLiteral("spin0001.png"));
    EXPECT_THAT(ListNumbers(), ElementsAre(1, 2));
    EXPECT_EQ(LogTail(3).front(), "message Sequence detection: Final image number 2\n\nSequence length = 2");
    EXPECT_TRUE(host_.log.contains(QStringLiteral("failed spin0003.png"))) << "it is there, but no picture";

    loader_.DropFile(PathOf(QStringLiteral("spin0003.png")));
    EXPECT_EQ(overlay_.frames.first.image.file_title, QStringLiteral("spin0001.png"));
}

// A larger file later in a run is measured before it is decoded: its peak (a grey picture: one
// byte a pixel, rows padded to 4 bytes, converted, kept and copied for the thumbnail at 4 bytes)
// more than one load's share (half of what is free above the reserve), it does not load, and
// the load ends keeping the frames it has.
TEST_F(SequenceLoading, ALargerFileOverTheMemoryBudgetEndsTheLoadKeepingItsFrames)
{
    MakeRun("spin", 1, 10, 4);
    QImage grey(61, 40, QImage::Format_Grayscale8);
    grey.fill(4);
    ASSERT_TRUE(grey.save(PathOf(QStringLiteral("spin0004.png"))));
    const MemoryGauge budget = [] { return kMemoryReserveBytes + 2 * (64 * 40 + 3 * 61 * 40 * 4) - 1; };
    SequenceLoader loader(overlay_, {is_sequence_, send_current_, preview_current_}, host_, AllocateNode, budget);
    host_.pick_path = PathOf(QStringLiteral("spin0001.png"));
    loader.LoadOverlay();
    test::RunPendingSteps(loader, host_);
    EXPECT_THAT(ListNumbers(), ElementsAre(1, 2, 3));
    EXPECT_THAT(LogTail(4), ElementsAre("failed spin0004.png",
                                        "message Sequence detection: Final image number 3\n\nSequence length = 3",
                                        "hide progress", "overlay label Overlay OFF"));
    EXPECT_TRUE(is_sequence_) << "the frames loaded play";
}

class SequenceReloading : public SequenceLoading {
protected:
    // A loaded run of five, on air, with the send loop and the preview somewhere inside it.
    void SetUp() override
    {
        MakeRun("run", 1, 5, 2);
        WritePicture(QStringLiteral("logo.png"), 0, 9, 5);
        WritePicture(QStringLiteral("other.png"), 88, 3, 3);
        test::WriteBytes(PathOf(QStringLiteral("broken.png")), "broken");
        PickAndLoad(QStringLiteral("run01.png"));
        ASSERT_THAT(ListNumbers(), ElementsAre(1, 2, 3, 4, 5));
        overlay_.overlay_on = 1;
        send_current_ = overlay_.frames.first.next->next;
        preview_current_ = overlay_.frames.last;
        host_.log.clear();
    }

    void ExpectRunIntact()
    {
        EXPECT_THAT(ListNumbers(), ElementsAre(1, 2, 3, 4, 5));
        EXPECT_EQ(overlay_.frames.frame_count, 5);
        EXPECT_TRUE(is_sequence_);
        EXPECT_EQ(overlay_.overlay_on, 1);
    }
};

TEST_F(SequenceReloading, ACancelledFileDialogRestoresTheFlagsAndKeepsTheList)
{
    Pick(QString());
    EXPECT_THAT(Log(), ElementsAre("choose", "overlay label Overlay ON"));
    ExpectRunIntact();
    EXPECT_EQ(overlay_.frames.first.image.file_title, QStringLiteral("run01.png"));
}

TEST_F(SequenceReloading, APickedFileThatDoesNotLoadIsReportedAndChangesNothing)
{
    Pick(QStringLiteral("broken.png"));
    EXPECT_THAT(Log(), ElementsAre("choose", "failed broken.png", "overlay label Overlay ON"));
    ExpectRunIntact();
    const RgbaImage& first = overlay_.frames.first.image;
    EXPECT_EQ(first.file_title, QStringLiteral("run01.png")) << "the names stay with the picture sent";
    EXPECT_TRUE(first.IsCompositable());
    EXPECT_EQ(first.pixels[0], 1) << "still the picture of run01.png";
}

TEST_F(SequenceReloading, APickedFileOverTheMemoryBudgetIsReportedAndChangesNothing)
{
    WritePicture(QStringLiteral("big.png"), 9, 400, 300);
    host_.memory = [] { return kMemoryReserveBytes + 2 * (3 * 400 * 300 * 4) - 1; };  // decoded as ARGB
    Pick(QStringLiteral("big.png"));
    EXPECT_THAT(Log(), ElementsAre("choose", "failed big.png", "overlay label Overlay ON"));
    ExpectRunIntact();
    EXPECT_EQ(overlay_.frames.first.image.pixels[0], 1) << "still the picture of run01.png";
    EXPECT_EQ(DescribeLoadFailure(PathOf(QStringLiteral("big.png")), host_.memory),
              QStringLiteral("There is not enough memory for a picture of 400 x 300 pixels."));
    host_.memory = [] { return kMemoryReserveBytes + 2 * (3 * 400 * 300 * 4); };
    Pick(QStringLiteral("big.png"));
    EXPECT_EQ(overlay_.frames.first.image.width, 400);
}

TEST_F(SequenceReloading, ANewPictureResetsTheListAndBothCurrentFrames)
{
    Pick(QStringLiteral("logo.png"));
    EXPECT_THAT(ListNumbers(), ElementsAre(0));
    EXPECT_EQ(overlay_.frames.frame_count, 1);
    EXPECT_EQ(send_current_, &overlay_.frames.first);
    EXPECT_EQ(preview_current_, &overlay_.frames.first);
    EXPECT_FALSE(is_sequence_);
    EXPECT_EQ(overlay_.overlay_on, 0);
    EXPECT_TRUE(overlay_.frames.saved_is_sequence);
    EXPECT_TRUE(overlay_.frames.saved_overlay_on);
    EXPECT_EQ(overlay_.frames.first.image.pixels[0], 0) << "the picture of logo.png";
}

TEST_F(SequenceReloading, ADropReplacesOnlyTheFirstPicture)
{
    loader_.DropFile(PathOf(QStringLiteral("other.png")));
    EXPECT_THAT(Log(), ElementsAre("show other.png 3x3", "overlay label Overlay ON"));
    EXPECT_EQ(overlay_.frames.first.image.width, 3);
    EXPECT_EQ(overlay_.frames.first.image.pixels[0], 88);
    EXPECT_EQ(overlay_.frames.first.number, 1) << "a drop does no name analysis";
    EXPECT_EQ(overlay_.frames.first.next->image.pixels[0], 2);
    EXPECT_EQ(overlay_.frames.last->number, 5);
    EXPECT_EQ(overlay_.frames.frame_count, 5);
    EXPECT_TRUE(is_sequence_);
    EXPECT_EQ(overlay_.overlay_on, 1);
}

TEST_F(SequenceReloading, AFailedDropIsReportedAndChangesNothing)
{
    loader_.DropFile(PathOf(QStringLiteral("broken.png")));
    EXPECT_THAT(Log(), ElementsAre("failed broken.png", "overlay label Overlay ON"));
    EXPECT_EQ(overlay_.frames.first.image.file_title, QStringLiteral("run01.png"));
    EXPECT_EQ(overlay_.frames.first.image.pixels[0], 1);
    ExpectRunIntact();
}

TEST_F(SequenceReloading, LoadOverlayDuringALoadEndsThatLoadBeforeResettingTheList)
{
    MakeRun("long", 1, 30, 3);
    Pick(QStringLiteral("long001.png"));
    ASSERT_TRUE(host_.StepPending());
    ASSERT_EQ(overlay_.overlay_on, 0);
    host_.log.clear();

    Pick(QStringLiteral("logo.png"));
    EXPECT_THAT(Log(), ElementsAre("cancel step", "hide progress", "overlay label Overlay ON", "choose",
                                   "show logo.png 9x5", "overlay label Overlay OFF"));
    EXPECT_FALSE(host_.StepPending());
    EXPECT_FALSE(overlay_.frames.loading);
    EXPECT_THAT(ListNumbers(), ElementsAre(0));
    EXPECT_TRUE(overlay_.frames.saved_overlay_on) << "the overlay as it was before the ended load";
    EXPECT_TRUE(overlay_.frames.saved_is_sequence) << "the ended load had two frames";
}

// A file that does not load changes nothing on air; one that does replaces the list whole.
TEST_F(SequenceLoading, AnAnimationReplacesTheLogoWholeWithItsTimingAndABrokenOneLeavesItOnAir)
{
    WritePicture(QStringLiteral("still.png"), 7);
    PickAndLoad(QStringLiteral("still.png"));
    const uint8_t* still_pixels = overlay_.frames.first.image.pixels.get();
    test::WriteBytes(PathOf(QStringLiteral("broken.mov")), QByteArray(4000, 'x'));
    PickAndLoad(QStringLiteral("broken.mov"));
    EXPECT_EQ(overlay_.frames.first.image.pixels.get(), still_pixels);
    EXPECT_EQ(overlay_.frames.time_base_num, 0);
    EXPECT_THAT(Log(), ::testing::Contains(::testing::HasSubstr("The file is not a movie")));

    ASSERT_TRUE(test::EncodeAnimation(PathOf(QStringLiteral("bug.gif")), test::AnimationColours(255), 16, 8, 10, {}));
    PickAndLoad(QStringLiteral("bug.gif"));
    EXPECT_EQ(overlay_.frames.frame_count, 12);
    EXPECT_TRUE(is_sequence_);
    EXPECT_EQ(send_current_, &overlay_.frames.first);
    EXPECT_EQ(overlay_.frames.first.image.file_title, QStringLiteral("bug.gif"));
    EXPECT_EQ(overlay_.frames.time_base_num * 1000, overlay_.frames.time_base_den);
    int64_t shown_ms = 0;
    const SequenceFrame* previous = nullptr;
    for (const SequenceFrame* f = &overlay_.frames.first; f; previous = f, f = f->next) {
        EXPECT_EQ(f->prev, previous);
        shown_ms += f->duration;
    }
    EXPECT_EQ(overlay_.frames.last, previous);
    EXPECT_EQ(shown_ms, 1200);
}

}  // namespace
}  // namespace vantor
