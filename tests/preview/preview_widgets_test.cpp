// The preview box and the colour button, painted offscreen and read back pixel by pixel.

#include "preview/col_button.h"
#include "preview/vid_box.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace vantor {
namespace {

QImage Painted(QWidget& widget) { return widget.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// The bounding box of the pixels in the colour given.
std::optional<QRect> PixelsOf(const QImage& image, QRgb colour)
{
    std::optional<QRect> box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                box = box ? box->united(QRect(x, y, 1, 1)) : QRect(x, y, 1, 1);
    return box;
}

class ColourButton : public ::testing::Test {
protected:
    void SetUp() override
    {
        button.resize(80, 24);
        button.InstallStateColours();
    }
    QRgb FaceAt(const QImage& image) { return image.pixel(4, 4) & 0xFFFFFF; }

    CColButton button;
};

TEST_F(ColourButton, EachIndexFillsTheFaceWithItsColourAndZeroWithNone)
{
    const std::vector<std::pair<int32_t, QRgb>> cases = {
        {1, qRgb(252, 184, 184)}, {2, qRgb(184, 252, 184)}, {3, qRgb(252, 236, 236)},
        {0, button.palette().color(QPalette::Button).rgb()}};
    for (const auto& [index, colour] : cases) {
        button.colour_index = index;
        EXPECT_EQ(FaceAt(Painted(button)), colour & 0xFFFFFF) << "index " << index;
    }
}

TEST_F(ColourButton, APressedCaptionMovesOnePixelRightAndDown)
{
    button.setText(QStringLiteral("Go"));
    button.colour_index = 2;
    const QRgb ink = button.palette().color(QPalette::Active, QPalette::ButtonText).rgb();
    const auto up = PixelsOf(Painted(button), ink);
    button.setDown(true);
    const QImage pressed = Painted(button);
    const auto down = PixelsOf(pressed, ink);
    ASSERT_TRUE(up && down);
    EXPECT_EQ(down->topLeft(), up->topLeft() + QPoint(1, 1));
    EXPECT_EQ(FaceAt(pressed), qRgb(184, 252, 184) & 0xFFFFFF) << "the fill stays while pressed";
}

TEST_F(ColourButton, ADisabledButtonKeepsItsFaceColourAndEmbossesItsCaption)
{
    button.setText(QStringLiteral("On/Off"));
    button.colour_index = 1;
    button.setEnabled(false);
    const QImage image = Painted(button);
    EXPECT_EQ(FaceAt(image), qRgb(252, 184, 184) & 0xFFFFFF);
    EXPECT_TRUE(PixelsOf(image, button.palette().color(QPalette::Light).rgb())) << "the light copy of the caption";
}

TEST_F(ColourButton, ALeftPressTakesThePressIndexOnlyWhenSet)
{
    button.colour_index = 3;
    QTest::mousePress(&button, Qt::LeftButton);
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_EQ(button.colour_index, 3);
    button.press_index = 1;
    QTest::mousePress(&button, Qt::LeftButton);
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_EQ(button.colour_index, 1);
}

class PreviewBox : public ::testing::Test {
protected:
    void SetUp() override
    {
        box.resize(152, 90);  // not 16:9
        ASSERT_TRUE(box.PreparePreview());
    }
    void HandOverSolid(QRgb colour)
    {
        QImage picture(320, 180, QImage::Format_ARGB32);
        picture.fill(colour);
        box.ShowPicture(picture.constBits(), 320, 180, 320 * 4, 0);
    }

    VidBox box;
};

TEST_F(PreviewBox, PaintsNothingBeforeTheFirstHandOver)
{
    const QImage before = Painted(box);
    EXPECT_FALSE(PixelsOf(before, qRgb(10, 200, 30)));
    HandOverSolid(qRgba(10, 200, 30, 0));  // alpha is not shown
    const auto filled = PixelsOf(Painted(box), qRgb(10, 200, 30));
    ASSERT_TRUE(filled);
    EXPECT_EQ(*filled, box.rect()) << "stretched over the whole box, not fitted";
}

TEST_F(PreviewBox, NoPictureSurvivesARelease)
{
    HandOverSolid(qRgb(10, 200, 30));
    box.Release();
    ASSERT_TRUE(box.PreparePreview());
    EXPECT_FALSE(PixelsOf(Painted(box), qRgb(10, 200, 30)));
}

TEST_F(PreviewBox, ReportsClicksOnlyWhenItsTemplateAsks)
{
    QSignalSpy clicks(&box, &VidBox::clicked);
    QTest::mouseClick(&box, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 0);
    box.SetNotifyClicks(true);
    QTest::mouseClick(&box, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
}

}  // namespace
}  // namespace vantor
