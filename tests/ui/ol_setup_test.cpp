// The Overlay setup dialog driven through its real widgets: clicks, typed text, drops; message
// boxes and the file dialog answered by the test.

#include "ui/ol_setup.h"

#include "control/copy_control.h"
#include "engine/engine.h"
#include "engine/instance_sync.h"
#include "engine/playback_state.h"
#include "imagery/image_decoder.h"
#include "test_images.h"
#include "modal_answers.h"
#include "preview/col_button.h"
#include "preview/vid_box.h"
#include "spin_until.h"

#include <QBuffer>
#include <QDropEvent>
#include "qt_printers.h"
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace vantor {
namespace {

using test::SpinUntil;

// Message boxes without a caption of their own show the application's name.
QString AppName() { return QCoreApplication::applicationName(); }

class OverlaySetup : public ::testing::Test {
protected:
    void SetUp() override { Open(); }
    void TearDown() override
    {
        if (dialog.isVisible())
            dialog.done(QDialog::Rejected);
        EXPECT_TRUE(answers.AllAnswered()) << "a window the test expected never opened";
    }

    void Open()
    {
        dialog.open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }

    template <typename T>
    T* Control(int id) { return dialog.controls().Get<T>(id); }
    QString Text(int id) { return Control<QLabel>(id)->text(); }
    void Click(int id) { QTest::mouseClick(Control<QWidget>(id), Qt::LeftButton); }
    void ClickArea(QPoint at) { QTest::mouseClick(Control<QWidget>(1027), Qt::LeftButton, {}, at); }

    QString Picture(const QString& name, int w, int h, QRgb colour = qRgba(200, 40, 20, 255))
    {
        QImage picture(w, h, QImage::Format_ARGB32);
        picture.fill(colour);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(picture.save(path));
        return path;
    }

    void Drop(const QStringList& paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        // As a file manager drops: the drag enters the dialog, then drops there.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &drop);
    }

    // "Load Overlay" with the file dialog answered.
    void LoadOverlay(const QString& path)
    {
        answers.PickFile(path);
        Click(1037);
    }

    int FramesInList()
    {
        int count = 0;
        for (const SequenceFrame* f = &overlay.frames.first; f; f = f->next)
            ++count;
        return count;
    }

    OverlayState overlay;
    PlaybackState playback;
    Engine engine{overlay, playback, nullptr};
    InstanceSync sync{engine, [](uint32_t, intptr_t) {}, 1};
    CopyControl control{engine, overlay, playback, sync};
    QTemporaryDir dir;
    test::ModalAnswers answers;
    OLSetup dialog{overlay, playback, control};
};

TEST_F(OverlaySetup, FirstOpeningShowsTheStartStateAndTheSplash)
{
    EXPECT_EQ(Text(1036), QStringLiteral("Upper Right : 0, 0"));
    EXPECT_EQ(Text(1032), QStringLiteral("Overlay OFF"));
    EXPECT_EQ(Text(1029), QStringLiteral("Filename"));
    EXPECT_EQ(Control<QLineEdit>(1034)->text(), QStringLiteral("0"));
    EXPECT_EQ(Control<CColButton>(1044)->colour_index, kColourIndexIdle);
    EXPECT_FALSE(Control<QWidget>(1039)->isVisible());
    EXPECT_FALSE(Control<QWidget>(1041)->isVisible());
    const PreviewPicture splash = Control<VidBox>(1043)->buffer().TakeLatest();
    ASSERT_NE(splash.pixels, nullptr) << "the splash is handed over at once";
    EXPECT_EQ(splash.header.width, 480);
    EXPECT_EQ(splash.header.height, -270);
    EXPECT_TRUE(answers.seen.isEmpty()) << answers.seen.join(u'|').toStdString();
}

TEST_F(OverlaySetup, EveryControlStandsAtItsTemplatePlace)
{
    const DialogUnits& units = dialog.controls().units();
    EXPECT_EQ(dialog.size(), units.ToPixels(471, 111));
    int checked = 0;
    for (const templates::ControlTemplate& c : templates::kOverlaySetupTemplate.controls) {
        if (c.id == templates::kNoId)
            continue;
        QWidget* widget = dialog.findChild<QWidget*>(QStringLiteral("id%1").arg(c.id));
        ASSERT_NE(widget, nullptr) << c.id;
        EXPECT_EQ(widget->geometry(), units.ToPixels(c.x, c.y, c.w, c.h)) << c.id;
        EXPECT_EQ(widget, Control<QWidget>(c.id));
        ++checked;
    }
    EXPECT_EQ(checked, 17);
    EXPECT_EQ(Control<QPushButton>(1037)->text(), QStringLiteral("Load Overlay"));
    EXPECT_TRUE(Control<QPushButton>(1)->isDefault());
}

struct CornerClick {
    int dx, dy;  // from the area's middle lines
    int32_t code;
    const char* text;
};

class CornerPick : public OverlaySetup, public ::testing::WithParamInterface<CornerClick> {};

// The area's halves are taken 2 pixels in from its frame and truncate: a click on a middle
// line counts as upper or left, one pixel beyond it as lower or right.
TEST_P(CornerPick, AClickPicksTheQuadrantsCorner)
{
    const QSize inner = Control<QWidget>(1027)->size() - QSize(4, 4);
    ClickArea(QPoint(inner.width() / 2 + GetParam().dx, inner.height() / 2 + GetParam().dy));
    EXPECT_EQ(overlay.corner_code, GetParam().code);
    EXPECT_EQ(Text(1036), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(OnAndBesideTheMiddleLines, CornerPick,
                         ::testing::Values(CornerClick{0, 0, kCornerUpperLeft, "Upper Left : 0, 0"},
                                           CornerClick{1, 0, kCornerUpperRight, "Upper Right : 0, 0"},
                                           CornerClick{0, 1, kCornerLowerLeft, "Lower Left : 0, 0"},
                                           CornerClick{1, 1, kCornerLowerRight, "Lower Right : 0, 0"},
                                           CornerClick{-30, 20, kCornerLowerLeft, "Lower Left : 0, 0"}));

TEST_F(OverlaySetup, TypingAnOffsetMovesItDigitByDigit)
{
    QLineEdit* x = Control<QLineEdit>(1034);
    x->selectAll();
    std::vector<int32_t> seen;
    for (const char* digit : {"1", "5", "0"}) {
        QTest::keyClicks(x, QString::fromLatin1(digit));
        seen.push_back(overlay.x_offset);
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{1, 15, 150}));
    EXPECT_EQ(Text(1036), QStringLiteral("Upper Right : 150, 0"));
    EXPECT_TRUE(answers.seen.isEmpty());
}

TEST_F(OverlaySetup, AnOffsetOutOfRangeIsStoredAndKeepsOkFromClosing)
{
    QLineEdit* y = Control<QLineEdit>(1035);
    y->selectAll();
    answers.Press(QMessageBox::Ok);
    QTest::keyClicks(y, QStringLiteral("1101"));
    EXPECT_EQ(answers.seen, QStringList{AppName() + QStringLiteral(": Please enter an integer between 0 and 1100.")});
    y->selectAll();
    QTest::keyClicks(y, QStringLiteral("0"));
    answers.seen.clear();

    QLineEdit* x = Control<QLineEdit>(1034);
    x->selectAll();
    answers.Press(QMessageBox::Ok);
    QTest::keyClicks(x, QStringLiteral("2101"));
    EXPECT_EQ(answers.seen, QStringList{AppName() + QStringLiteral(": Please enter an integer between 0 and 2100.")});
    EXPECT_EQ(overlay.x_offset, 2101) << "stored before its range is tested";

    answers.Press(QMessageBox::Ok);
    Click(1);
    EXPECT_TRUE(dialog.isVisible()) << "OK keeps the dialog open";
    EXPECT_EQ(answers.seen.size(), 2);

    overlay.overlay_on = 1;
    Click(2);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(overlay.overlay_on, 0) << "Cancel switches the overlay off";
    EXPECT_EQ(overlay.x_offset, 2101) << "and keeps the offset";
}

TEST_F(OverlaySetup, AnEmptiedOffsetAsksForANumberAndKeepsTheOldValue)
{
    QLineEdit* y = Control<QLineEdit>(1035);
    QTest::keyClicks(y, QStringLiteral("7"));  // "07"
    ASSERT_EQ(overlay.y_offset, 7);
    answers.Press(QMessageBox::Ok);
    y->clear();
    EXPECT_EQ(answers.seen, QStringList{AppName() + QStringLiteral(": Please enter an integer.")});
    EXPECT_EQ(overlay.y_offset, 7);
}

TEST_F(OverlaySetup, OnOffNeedsAPictureThenSwitchesTheOverlay)
{
    Click(1044);
    EXPECT_EQ(overlay.overlay_on, 0) << "nothing to switch on yet";
    Drop({Picture(QStringLiteral("bug.png"), 40, 20)});
    Click(1044);
    EXPECT_EQ(overlay.overlay_on, 1);
    EXPECT_EQ(Text(1032), QStringLiteral("Overlay ON"));
    EXPECT_EQ(Control<CColButton>(1044)->colour_index, kColourIndexOn);
    Click(1044);
    EXPECT_EQ(overlay.overlay_on, 0);
    EXPECT_EQ(Control<CColButton>(1044)->colour_index, kColourIndexIdle);
}

TEST_F(OverlaySetup, ADropTakesTheFirstFileOnly)
{
    const QString first = Picture(QStringLiteral("first.png"), 64, 36);
    const QString second = Picture(QStringLiteral("second.png"), 10, 10);
    Drop({first, second});
    EXPECT_EQ(Text(1029), first);
    EXPECT_EQ(Text(1031), QStringLiteral("(64 x 36, 32bpp)"));
    EXPECT_EQ(overlay.frames.first.image.width, 64);
    EXPECT_TRUE(dialog.image_loaded());
    int thumbnails = 0;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        thumbnails += label->objectName().isEmpty() && !label->pixmap().isNull();
    EXPECT_EQ(thumbnails, 1) << "the thumbnail over the overlay area";
}

TEST_F(OverlaySetup, MakeSolidMakesOnlyTheFirstPictureOpaque)
{
    Drop({Picture(QStringLiteral("glass.png"), 4, 4, qRgba(10, 20, 30, 0))});
    Click(1033);
    const RgbaImage& image = overlay.frames.first.image;
    EXPECT_EQ(image.pixels[3], 255);
    EXPECT_EQ(image.pixels[2], 10) << "colours stay";
}

struct CanvasCase {
    int w, h;
    const char* label;
    int preview_width;  // canvases wider than 640 are shown halved
};

class PreviewCanvas : public OverlaySetup, public ::testing::WithParamInterface<CanvasCase> {};

TEST_P(PreviewCanvas, PlaySizesTheCanvasToHoldThePicture)
{
    LoadOverlay(Picture(QStringLiteral("logo.png"), GetParam().w, GetParam().h));
    Click(1042);
    EXPECT_TRUE(dialog.preview_playing());
    EXPECT_EQ(Text(1041), QString::fromLatin1(GetParam().label));
    VidBox* box = Control<VidBox>(1043);
    ASSERT_TRUE(SpinUntil([&] { return box->buffer().TakeLatest().header.width == GetParam().preview_width; }, 2000));
}

INSTANTIATE_TEST_SUITE_P(Pictures, PreviewCanvas,
                         ::testing::Values(CanvasCase{1920, 1080, "PV bg 1920x1080", 960},
                                           CanvasCase{100, 100, "PV bg 192x108", 192},
                                           CanvasCase{170, 90, "PV bg 160x90", 160}));

TEST_F(OverlaySetup, PlayWithoutAPictureComposesNothingAndSaysSo)
{
    Click(1042);
    EXPECT_FALSE(dialog.preview_playing());
    EXPECT_TRUE(Control<QWidget>(1041)->isVisible());
    EXPECT_EQ(Text(1041), QStringLiteral("No picture to play: load one first"));
}

TEST_F(OverlaySetup, PlayWorksAgainAfterTheDialogClosedDuringPlay)
{
    LoadOverlay(Picture(QStringLiteral("logo.png"), 32, 18));
    Click(1042);
    ASSERT_TRUE(dialog.preview_playing());
    Click(1);
    ASSERT_FALSE(dialog.isVisible());
    Open();
    EXPECT_EQ(Control<VidBox>(1043)->buffer().TakeLatest().header.width, 480) << "the splash again";
    Click(1042);
    EXPECT_TRUE(dialog.preview_playing());
    Click(1040);
    EXPECT_FALSE(dialog.preview_playing());
    EXPECT_EQ(Text(1041), QStringLiteral("Preview Stopped"));
}

class SequenceThroughTheDialog : public OverlaySetup {
protected:
    void MakeRun(int count)
    {
        for (int n = 1; n <= count; ++n)
            Picture(QStringLiteral("spin%1.png").arg(n, 4, 10, QLatin1Char('0')), 8, 6, qRgba(n, 0, 0, 255));
    }
};

// OK on the question runs the first step at once; a Stop then lets exactly one more load.
TEST_F(SequenceThroughTheDialog, StopAtOnceKeepsThreeFrames)
{
    MakeRun(20);
    answers.Press(QMessageBox::Ok);  // the question
    LoadOverlay(dir.filePath(QStringLiteral("spin0001.png")));
    ASSERT_EQ(answers.seen.size(), 1);
    EXPECT_EQ(answers.seen.front(), QStringLiteral("Sequence detection: Sequence exists - ending with:\n\n") +
                                        dir.filePath(QStringLiteral("spin0020.png")) +
                                        QStringLiteral("\n\nLoad 19 more images?"));
    EXPECT_TRUE(Control<QProgressBar>(1039)->isVisible());
    EXPECT_EQ(Control<QProgressBar>(1039)->maximum(), 20);
    answers.Press(QMessageBox::Ok);  // the closing message
    Click(1040);
    ASSERT_TRUE(SpinUntil([&] { return answers.seen.size() == 2; }, 5000));
    EXPECT_EQ(answers.seen.back(), QStringLiteral("Sequence detection: Final image number 3\n\nSequence length = 3"));
    EXPECT_EQ(FramesInList(), 3);
    EXPECT_TRUE(playback.is_sequence);
    EXPECT_FALSE(Control<QWidget>(1039)->isVisible());
}

TEST_F(SequenceThroughTheDialog, ClosingDuringALoadKeepsTheFramesButSendsOnlyTheFirst)
{
    MakeRun(20);
    answers.Press(QMessageBox::Ok);
    LoadOverlay(dir.filePath(QStringLiteral("spin0001.png")));
    ASSERT_TRUE(SpinUntil([&] { return FramesInList() >= 4; }, 5000));
    Click(1);
    const int kept = FramesInList();
    test::SpinFor(100);
    EXPECT_EQ(FramesInList(), kept) << "no step runs after the close";
    EXPECT_FALSE(playback.is_sequence);
    EXPECT_FALSE(overlay.frames.loading);
}

// Bad files from the operator's disk: a clear message, and the picture already loaded stays.
class BadFile : public OverlaySetup, public ::testing::WithParamInterface<const char*> {
protected:
    QString MakeBadFile(const QString& kind)
    {
        const QString path = dir.filePath(kind);
        if (kind == QLatin1String("folder"))
            QDir(dir.path()).mkdir(kind);
        else if (kind == QLatin1String("empty.png"))
            test::WriteBytes(path, {});
        else if (kind == QLatin1String("text.png"))
            test::WriteBytes(path, "this is not a picture");
        else if (kind == QLatin1String("truncated.png"))
            test::WriteBytes(path, PngBytes(test::GradientPicture(64, 64, true)).left(300));
        else if (kind == QLatin1String("huge.png"))
            test::WriteBytes(path, test::PngDeclaring(100000, 100000));
        return path;
    }

    static QByteArray PngBytes(const QImage& picture)
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        return bytes;
    }
};

TEST_P(BadFile, IsReportedAndChangesNothing)
{
    const QString good = Picture(QStringLiteral("good.png"), 30, 20);
    Drop({good});
    const QString bad = MakeBadFile(QString::fromLatin1(GetParam()));
    answers.Press(QMessageBox::Ok);
    Drop({bad});
    ASSERT_EQ(answers.seen.size(), 1);
    EXPECT_EQ(answers.seen.front(), QStringLiteral("Load Overlay Image: Cannot load\n\n") + bad +
                                        QStringLiteral("\n\n") + DescribeLoadFailure(bad));
    EXPECT_EQ(Text(1029), good);
    EXPECT_EQ(overlay.frames.first.image.width, 30);
    EXPECT_EQ(overlay.frames.first.image.file_path, good);
}

INSTANTIATE_TEST_SUITE_P(Kinds, BadFile,
                         ::testing::Values("folder", "empty.png", "text.png", "truncated.png", "huge.png"));

TEST_F(OverlaySetup, APickedFileThatDoesNotLoadIsReported)
{
    const QString bad = dir.filePath(QStringLiteral("notes.png"));
    test::WriteBytes(bad, "meeting notes");
    answers.Press(QMessageBox::Ok);
    LoadOverlay(bad);
    ASSERT_EQ(answers.seen.size(), 1);
    EXPECT_TRUE(answers.seen.front().startsWith(QStringLiteral("Load Overlay Image: Cannot load")));
    EXPECT_FALSE(dialog.image_loaded());
    EXPECT_EQ(Text(1029), QStringLiteral("Filename"));
}

TEST(LoadFailureReasons, NameWhatIsWrong)
{
    QTemporaryDir dir;
    test::WriteBytes(dir.filePath(QStringLiteral("empty.png")), {});
    test::WriteBytes(dir.filePath(QStringLiteral("text.png")), "hello");
    test::WriteBytes(dir.filePath(QStringLiteral("huge.png")), test::PngDeclaring(100000, 100000));
    const auto reason = [&](const char* name) { return DescribeLoadFailure(dir.filePath(QString::fromLatin1(name))); };
    EXPECT_EQ(reason("gone.png"), QStringLiteral("The file does not exist."));
    EXPECT_EQ(DescribeLoadFailure(dir.path()), QStringLiteral("This is a folder, not a picture file."));
    EXPECT_EQ(reason("empty.png"), QStringLiteral("The file is empty."));
    EXPECT_TRUE(reason("text.png").startsWith(QStringLiteral("This is not a picture")));
    EXPECT_EQ(reason("huge.png"), QStringLiteral("The picture is too large to hold: 100000 x 100000 pixels."));
    ASSERT_EQ(::mkfifo(qPrintable(dir.filePath(QStringLiteral("pipe.png"))), 0644), 0);
    EXPECT_EQ(reason("pipe.png"), QStringLiteral("This is not a regular file (a pipe, device or socket)."));
}

}  // namespace
}  // namespace vantor
