// While the Overlay setup dialog is open the engine keeps sending, and what the operator does in
// the dialog reaches the output with the next drawn frame: seen in frames a real ffmpeg decodes.

#include "ui/ol_setup.h"

#include "control/copy_control.h"
#include "engine/engine.h"
#include "engine/instance_sync.h"
#include "stream_client.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace vantor {
namespace {

constexpr int k640x360 = 32776;
constexpr int kWidth = 640, kHeight = 360;
constexpr int kLogoWidth = 16, kLogoHeight = 8;

uint32_t PixelAt(const QByteArray& frame, int x, int y)
{
    uint32_t bgra;
    std::memcpy(&bgra, frame.constData() + (size_t(y) * kWidth + x) * 4, 4);
    return bgra;
}

class OverlaySetupOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(engine.Startup(), StartupResult::kReady);
        engine.SelectResolution(k640x360);
        ASSERT_TRUE(engine.StartSending());
        dialog.open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }
    void TearDown() override { engine.StopSending(); }

    void DropLogo()
    {
        QImage logo(kLogoWidth, kLogoHeight, QImage::Format_ARGB32);
        logo.fill(qRgba(200, 40, 20, 255));
        const QString path = dir.filePath(QStringLiteral("logo.png"));
        ASSERT_TRUE(logo.save(path));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &drop);
    }

    QByteArray LatestFrame()
    {
        const auto port = test::SourcePortOf(QCoreApplication::applicationPid());
        EXPECT_TRUE(port.has_value());
        const auto frames = test::GrabFrames(port.value_or(0), 3, kWidth, kHeight);
        EXPECT_EQ(frames.size(), 3u);
        return frames.empty() ? QByteArray() : frames.back();
    }

    QWidget* Control(int id) { return dialog.controls().Find(id); }

    OverlayState overlay;
    PlaybackState playback;
    Engine engine{overlay, playback, nullptr};
    InstanceSync sync{engine, [](uint32_t, intptr_t) {}, 1};
    CopyControl control{engine, overlay, playback, sync};
    OLSetup dialog{overlay, playback, control};
    QTemporaryDir dir;
};

TEST_F(OverlaySetupOutput, CornerOffsetOnOffAndCancelReachTheOutputWhileTheDialogIsOpen)
{
    constexpr uint32_t kLogo = 0xFFC82814;  // alpha, red, green, blue as one little-endian word
    DropLogo();
    QTest::mouseClick(Control(1044), Qt::LeftButton);  // On
    ASSERT_EQ(overlay.overlay_on, 1);
    const QSize area = Control(1027)->size();
    QTest::mouseClick(Control(1027), Qt::LeftButton, {}, QPoint(5, area.height() - 5));  // lower left

    QByteArray frame = LatestFrame();
    ASSERT_FALSE(frame.isEmpty());
    EXPECT_EQ(PixelAt(frame, 0, kHeight - kLogoHeight), kLogo);
    EXPECT_EQ(PixelAt(frame, kLogoWidth - 1, kHeight - 1), kLogo);
    EXPECT_EQ(PixelAt(frame, kLogoWidth, kHeight - 1), 0u);
    EXPECT_EQ(PixelAt(frame, 0, 0), 0u);

    auto* x = qobject_cast<QLineEdit*>(Control(1034));
    x->selectAll();
    QTest::keyClicks(x, QStringLiteral("10"));
    frame = LatestFrame();
    ASSERT_FALSE(frame.isEmpty());
    EXPECT_EQ(PixelAt(frame, 9, kHeight - 1), 0u) << "moved 10 pixels in from the left edge";
    EXPECT_EQ(PixelAt(frame, 10, kHeight - 1), kLogo);
    EXPECT_EQ(PixelAt(frame, 25, kHeight - kLogoHeight), kLogo);

    QTest::mouseClick(Control(1044), Qt::LeftButton);  // Off: the logo leaves the output
    frame = LatestFrame();
    EXPECT_EQ(PixelAt(frame, 10, kHeight - 1), 0u);
    EXPECT_EQ(PixelAt(frame, 15, kHeight - kLogoHeight), 0u);

    QTest::mouseClick(Control(1044), Qt::LeftButton);  // On again: back where it was
    frame = LatestFrame();
    EXPECT_EQ(PixelAt(frame, 10, kHeight - 1), kLogo);
    QTest::mouseClick(Control(2), Qt::LeftButton);  // Cancel: off, and off the output too
    frame = LatestFrame();
    EXPECT_EQ(PixelAt(frame, 10, kHeight - 1), 0u);
}

}  // namespace
}  // namespace vantor
