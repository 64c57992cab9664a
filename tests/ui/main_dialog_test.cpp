// The main window in the test's own process, driven through its real widgets, over the real
// engine and runtime; its source checked with ffprobe.

#include "ui/main_dialog.h"

#include "modal_answers.h"
#include "preview/col_button.h"
#include "qt_printers.h"
#include "spin_until.h"
#include "stream_client.h"
#include "ui/ad_dialog.h"
#include "ui/static_control.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace vantor {
namespace {

using test::SpinUntil;

constexpr int k640x360 = 32776;
constexpr int k60p = 32782;

// Web pages the window opens, caught instead of opened.
class PageCatcher : public QObject {
    Q_OBJECT

public:
    PageCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "Open"); }
    ~PageCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    QStringList opened;

public slots:
    void Open(const QUrl& url) { opened << url.toString(); }
};

class MainWindow : public ::testing::Test {
protected:
    // The start-up sequence runs inside open(); its timers fire only once the test lets events
    // run, so the state right after it is the state before the first timer.
    void SetUp() override { window.open(); }
    void TearDown() override { EXPECT_TRUE(answers.AllAnswered()); }

    template <typename T>
    T* Control(int id) { return window.controls().Get<T>(id); }
    QString Text(int id) { return Control<QLabel>(id)->text(); }
    void Click(int id) { QTest::mouseClick(Control<QWidget>(id), Qt::LeftButton); }
    bool Enabled(int id) { return Control<QWidget>(id)->isEnabled(); }
    bool LampShows(int bitmap)
    {
        return Control<QLabel>(1014)->pixmap().toImage() ==
               QPixmap(QStringLiteral(":/bitmaps/%1.png").arg(bitmap)).toImage();
    }
    bool WaitForNumber() { return SpinUntil([this] { return !window.sync().number_pending(); }, 5000); }
    bool WaitForSending(bool running)
    {
        return SpinUntil([&] { return window.engine().running() == running && Enabled(1001) == running; }, 5000);
    }
    void Choose(int button, int item)
    {
        for (QAction* action : Control<QToolButton>(button)->menu()->actions())
            if (action->data().toInt() == item)
                action->trigger();
    }
    bool WaitForEnd()
    {
        return SpinUntil([this] { return !window.isVisible(); }, 6000);
    }

    test::ModalAnswers answers;
    CNDIVantorDlg window;
};

TEST_F(MainWindow, StartsNumberedThenSendsByItselfAfterTwoSeconds)
{
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Kelo Vantor for NDI"));
    EXPECT_EQ(Text(1015), QStringLiteral("output info"));
    EXPECT_EQ(Text(1016), QStringLiteral("Normal play"));
    EXPECT_TRUE(Control<QAbstractButton>(1004)->isChecked());
    EXPECT_TRUE(Control<QAbstractButton>(1008)->isChecked());
    EXPECT_FALSE(Control<QAbstractButton>(1051)->isChecked());
    EXPECT_TRUE(Control<QAbstractButton>(1020)->isChecked());
    EXPECT_FALSE(Control<QAbstractButton>(1019)->isChecked());
    EXPECT_EQ(Control<QLineEdit>(1034)->text(), QStringLiteral("0"));
    EXPECT_EQ(Control<CColButton>(1021)->colour_index, kColourIndexIdle);
    EXPECT_EQ(Control<CColButton>(1048)->colour_index, kColourIndexIdle);
    EXPECT_TRUE(Enabled(1000) && Enabled(1001) && Enabled(1002));
    EXPECT_TRUE(LampShows(131));

    ASSERT_TRUE(WaitForNumber());
    EXPECT_TRUE(window.windowTitle().startsWith(QStringLiteral("Kelo Vantor for NDI\u00ae - No ")));
    EXPECT_EQ(Text(1015), QStringLiteral("1280 x 720 - 25.00 fps"));
    EXPECT_FALSE(window.engine().running()) << "not before two seconds";

    ASSERT_TRUE(WaitForSending(true));
    EXPECT_FALSE(Enabled(1000) || Enabled(1002) || Enabled(1003));
    EXPECT_TRUE(LampShows(132));
}

TEST_F(MainWindow, AMenuChoiceRemakesTheSourceAndStopsIt)
{
    ASSERT_TRUE(WaitForNumber());
    Choose(1002, k640x360);
    Choose(1003, k60p);
    EXPECT_EQ(Control<QToolButton>(1002)->text(), QStringLiteral("640 x 360"));
    EXPECT_EQ(Control<QToolButton>(1003)->text(), QStringLiteral("60p"));
    EXPECT_EQ(Text(1015), QStringLiteral("640 x 360 - 60.00 fps"));
    const auto port = test::SourcePortOf(QCoreApplication::applicationPid());
    ASSERT_TRUE(port.has_value());
    const auto stream = test::ProbeStream(*port);
    ASSERT_TRUE(stream.has_value());
    EXPECT_EQ(stream->width, 640);
    EXPECT_EQ(stream->frame_rate, QStringLiteral("60/1"));

    Click(1000);
    ASSERT_TRUE(WaitForSending(true));
    Click(1001);
    ASSERT_TRUE(WaitForSending(false));
    EXPECT_TRUE(Enabled(1000) && Enabled(1002));
    EXPECT_TRUE(LampShows(131));
}

TEST_F(MainWindow, EscapeAsksAndCancelChangesNothing)
{
    answers.Press(QMessageBox::Cancel);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_EQ(answers.seen, QStringList{QStringLiteral("Quit Vantor: OK to exit?")});
    EXPECT_TRUE(window.isVisible());
    window.close();  // the close box
    EXPECT_TRUE(window.isVisible());
}

TEST_F(MainWindow, EnterAndEscapeInThePauseFieldDoNothing)
{
    QLineEdit* pause = Control<QLineEdit>(1034);
    pause->setFocus();
    QTest::keyClick(pause, Qt::Key_Return);
    QTest::keyClick(pause, Qt::Key_Escape);
    test::SpinFor(50);
    EXPECT_TRUE(answers.seen.isEmpty());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(MainWindow, ExitWhileNotSendingEndsAtOnce)
{
    ASSERT_TRUE(WaitForNumber());
    answers.Press(QMessageBox::Ok);
    Click(1);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindow, ExitWhileSendingStopsAtOnceAndEndsLater)
{
    ASSERT_TRUE(WaitForSending(true));
    answers.Press(QMessageBox::Ok);
    Click(1);
    EXPECT_FALSE(window.engine().running()) << "the output stops at once";
    EXPECT_TRUE(window.isVisible()) << "the window stays for 2.5 seconds";
    ASSERT_TRUE(WaitForEnd());
}

TEST_F(MainWindow, APauseOutOfRangeIsReportedAndUsed)
{
    ASSERT_TRUE(WaitForNumber());
    QLineEdit* pause = Control<QLineEdit>(1034);
    pause->selectAll();
    answers.Press(QMessageBox::Ok);
    QTest::keyClicks(pause, QStringLiteral("150"));
    EXPECT_EQ(answers.seen, QStringList{QCoreApplication::applicationName() +
                                        QStringLiteral(": Please enter an integer between 0 and 99.")});
    EXPECT_EQ(answers.seen.size(), 1) << "only at the third digit";
}

// Go is green only while it would start a pass: a run must be in, and One-Shot on (or a pause).
TEST_F(MainWindow, OneShotArmsGoOnARunAndSwitchedOffDisarmsIt)
{
    Click(1051);
    EXPECT_EQ(Control<CColButton>(1048)->colour_index, kColourIndexIdle) << "no run to play: not armed";
    Click(1051);
    QTemporaryDir dir;
    for (int n = 1; n <= 2; ++n) {
        QImage picture(8, 6, QImage::Format_ARGB32);
        picture.fill(qRgba(0, 0, 50 * n, 255));
        ASSERT_TRUE(picture.save(dir.filePath(QStringLiteral("run%1.png").arg(n))));
    }
    std::optional<QString> failure;
    window.control().LoadOverlay(dir.filePath(QStringLiteral("run1.png")),
                                 [&failure](const OverlayLoadResult& result) { failure = result.failure; });
    ASSERT_TRUE(SpinUntil([&] { return failure.has_value(); }, 5000));
    ASSERT_EQ(*failure, QString());

    Click(1048);
    EXPECT_EQ(Control<CColButton>(1048)->colour_index, kColourIndexIdle) << "nothing to wait for: not armed";
    Click(1051);
    EXPECT_EQ(Control<CColButton>(1048)->colour_index, kColourIndexArmed);
    Click(1051);
    EXPECT_EQ(Control<CColButton>(1048)->colour_index, kColourIndexIdle) << "One-Shot off: Go has nothing to start";
}

TEST_F(MainWindow, LogoBugOpensTheSetupWhileSendingAndColoursTheButton)
{
    ASSERT_TRUE(WaitForSending(true));
    bool was_sending = false;
    QTimer::singleShot(100, &window, [this, &was_sending] {
        was_sending = window.engine().running() && window.engine().preview_live();
        window.overlay_setup().reject();
    });
    Click(1021);
    EXPECT_TRUE(was_sending) << "sending and the live preview go on under the dialog";
    EXPECT_EQ(Control<CColButton>(1021)->colour_index, kColourIndexIdle);
    EXPECT_TRUE(window.engine().watermark_on()) << "no overlay was switched on";
}

// SIGTERM while the Overlay setup has its file dialog open: both close, and the program ends
// instead of waiting on them.
TEST_F(MainWindow, TerminationClosesOpenDialogsAndEnds)
{
    QTimer::singleShot(100, &window, [this] {
        QTest::mouseClick(window.overlay_setup().controls().Find(1037), Qt::LeftButton);  // Load Overlay
    });
    QTimer::singleShot(400, &window, [this] { window.OnTermination(); });
    Click(1021);
    EXPECT_FALSE(window.overlay_setup().isVisible());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainWindow, F1AndTheContextMenuOpenTheHelpPage)
{
    PageCatcher pages;
    QTest::keyClick(&window, Qt::Key_F1);
    Click(1018);
    EXPECT_EQ(pages.opened, (QStringList{QStringLiteral("https://www.kelo.example/vantor/help"),
                                         QStringLiteral("https://ndi.video/")}));
    EXPECT_TRUE(answers.seen.isEmpty());
}

// Without a runtime nothing may start (it would send unpaced): the window says so and offers
// only the exit.
TEST(MainWindowWithoutRuntime, SaysSoAndOffersOnlyTheExit)
{
    qputenv("NDIVANTOR_RUNTIME", "vendor");  // and no vendor's runtime installed
    test::ModalAnswers answers;
    answers.Press(QMessageBox::Ok);
    CNDIVantorDlg window;
    window.open();
    qputenv("NDIVANTOR_RUNTIME", "builtin");
    EXPECT_EQ(answers.seen, QStringList{QCoreApplication::applicationName() + QStringLiteral(": Cannot run NDI.")});
    for (int id : {1000, 1001, 1002, 1021, 1048, 1034})
        EXPECT_FALSE(window.controls().Find(id)->isEnabled()) << id;
    EXPECT_TRUE(window.controls().Find(1)->isEnabled());
    EXPECT_FALSE(window.engine().StartSending());
    answers.Press(QMessageBox::Ok);
    QTest::mouseClick(window.controls().Find(1), Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
}

struct PlacementCase {
    QRect available;
    QRect main_frame;
    QSize support_frame;
    QPoint main, support;
};

class FirstShow : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(FirstShow, MainMovesUpAndSupportGoesBeneathBothOnScreen)
{
    const PlacementCase& c = GetParam();
    const FirstShowPlaces places = PlaceFirstShow(c.main_frame, c.support_frame, c.available);
    EXPECT_EQ(places.main_window, c.main);
    EXPECT_EQ(places.support_dialog, c.support);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, FirstShow,
    ::testing::Values(
        // Room above: 250 pixels up, the support dialog centred 10 pixels beneath.
        PlacementCase{{0, 0, 1920, 1080}, {400, 300, 480, 230}, {680, 400}, {400, 50}, {300, 290}},
        // 1280 x 720, centred main window: it stops at the top edge instead of leaving the screen.
        PlacementCase{{0, 0, 1280, 720}, {400, 240, 481, 247}, {661, 457}, {400, 0}, {310, 257}},
        // A support dialog that would run off the bottom is lifted onto the screen.
        PlacementCase{{0, 0, 1280, 720}, {400, 240, 481, 247}, {661, 500}, {400, 0}, {310, 220}},
        // At the left edge, lower down: the support dialog stays on the screen on both sides.
        PlacementCase{{0, 0, 1280, 720}, {0, 300, 481, 247}, {661, 457}, {0, 50}, {0, 263}}));

TEST(SupportDialog, ShowsItsPictureAtOnceAndHidesAfterItsTime)
{
    AdDialog support(3, nullptr, {40, 60});
    support.Create();
    support.show();
    ASSERT_NE(support.picture(), nullptr);
    EXPECT_FALSE(support.picture()->pixmap().isNull());
    EXPECT_EQ(support.picture()->geometry(), QRect(10, 10, 640, 360));
    EXPECT_TRUE(support.isVisible());
    EXPECT_TRUE(SpinUntil([&] { return !support.isVisible(); }, 2000));
}

TEST(SupportDialog, OtherModesShowThePictureOnlyAtTheFirstTimer)
{
    AdDialog support(0, nullptr, {40, 10000});
    support.Create();
    support.show();
    EXPECT_TRUE(support.picture()->pixmap().isNull());
    EXPECT_TRUE(SpinUntil([&] { return !support.picture()->pixmap().isNull(); }, 2000));
    QTest::keyClick(&support, Qt::Key_Escape);
    EXPECT_FALSE(support.isVisible()) << "Escape hides it";
}

}  // namespace
}  // namespace vantor

#include "main_dialog_test.moc"
