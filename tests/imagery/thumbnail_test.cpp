#include "imagery/animation_facts.h"
#include "imagery/thumbnail.h"
#include "test_images.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantor {
namespace {

TEST(ThumbnailPlacement, WidePicturesFillTheWidthAndNarrowOnesTheHeight)
{
    // 1920/1080 in single precision is just above 16/9: the width is filled.
    EXPECT_EQ(PlaceThumbnail(1920, 1080, 200, 120), (ThumbnailRect{0, 4, 200, 112}));
    EXPECT_EQ(PlaceThumbnail(640, 480, 200, 120), (ThumbnailRect{20, 0, 160, 120}));
    EXPECT_EQ(PlaceThumbnail(4000, 1000, 200, 120), (ThumbnailRect{0, 35, 200, 50}));
}

TEST(ThumbnailPlacement, ANearly16By9PictureOverhangsASquarishControl)
{
    // 1700 x 1000: a = 1.7 < 16/9, height filled: 120 * 1.7 = 204 wide in a 200-wide control.
    EXPECT_EQ(PlaceThumbnail(1700, 1000, 200, 120), (ThumbnailRect{-2, 0, 204, 120}));
    // 1710 x 1000: 205 wide, the odd overhang's half rounded down.
    EXPECT_EQ(PlaceThumbnail(1710, 1000, 200, 120), (ThumbnailRect{-3, 0, 205, 120}));
}

TEST(ThumbnailPlacement, APictureWithoutSizeIsNotPlaced)
{
    EXPECT_FALSE(PlaceThumbnail(100, 0, 200, 120).has_value());
    EXPECT_FALSE(PlaceThumbnail(0, 100, 200, 120).has_value());
}

// An animation whose first frames are clear shows its first frame that is not; ImageMagick makes
// each GIF of one colour a frame ("none" is clear).
TEST(ThumbnailPicture, AnAnimationShowsItsFirstFrameThatShows)
{
    struct Case {
        const char* what;
        std::initializer_list<const char*> frames;
        QRgb shown;
    };
    const Case cases[] = {
        {"clear frames give way to the first that shows", {"none", "none", "red", "blue"}, qRgba(255, 0, 0, 255)},
        {"a first frame that shows is the thumbnail", {"lime", "none", "blue"}, qRgba(0, 255, 0, 255)},
        {"with no frame that shows, the first", {"none", "none"}, qRgba(0, 0, 0, 0)},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = dir.filePath(QStringLiteral("sting.gif"));
        QStringList arguments{QStringLiteral("-size"), QStringLiteral("8x4")};
        for (const char* colour : c.frames)
            arguments << QStringLiteral("xc:") + QString::fromLatin1(colour);
        ASSERT_TRUE(test::Convert(arguments << QStringLiteral("-loop") << QStringLiteral("0") << path));
        RgbaImage frame;
        QString why;
        ASSERT_TRUE(FirstVisibleFrame(path, AvailableMemoryBytes, OpenRegularFile, frame, why)) << why.toStdString();
        const QImage thumbnail = frame.decoded_bitmap;
        ASSERT_EQ(thumbnail.size(), QSize(8, 4));
        for (const QPoint at : {QPoint(0, 0), QPoint(7, 3)}) {
            const QRgb pixel = thumbnail.pixel(at);
            EXPECT_EQ(qAlpha(pixel), qAlpha(c.shown));
            if (qAlpha(c.shown) != 0) {
                EXPECT_EQ(qRgb(qRed(pixel), qGreen(pixel), qBlue(pixel)), qRgb(qRed(c.shown), qGreen(c.shown), qBlue(c.shown)));
            }
        }
    }
}

}  // namespace
}  // namespace vantor
