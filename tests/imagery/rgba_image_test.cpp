#include "imagery/image_decoder.h"
#include "imagery/memory_gauge.h"
#include "imagery/rgba_image.h"
#include "test_images.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantor {
namespace {

using test::GradientPicture;
using test::WriteBytes;

class RgbaImageLoad : public ::testing::Test {
protected:
    QString PathOf(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    QString Saved(const char* name, const QImage& picture, const char* format, int quality = -1)
    {
        const QString path = PathOf(name);
        EXPECT_TRUE(picture.save(path, format, quality)) << name;
        return path;
    }

    // Compares every pixel's bytes (blue, green, red, alpha) with the reference picture; the
    // alpha expected is the reference's own, or a fixed value.
    static void ExpectPixels(const RgbaImage& image, const QImage& reference, int fixed_alpha)
    {
        ASSERT_EQ(image.width, reference.width());
        ASSERT_EQ(image.height, reference.height());
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                const QRgb want = reference.pixel(x, y);
                const uint8_t* got = image.pixels.get() + (y * image.width + x) * 4;
                const int alpha = fixed_alpha < 0 ? qAlpha(want) : fixed_alpha;
                ASSERT_EQ(got[0], qBlue(want)) << x << "," << y;
                ASSERT_EQ(got[1], qGreen(want)) << x << "," << y;
                ASSERT_EQ(got[2], qRed(want)) << x << "," << y;
                ASSERT_EQ(got[3], alpha) << x << "," << y;
            }
    }

    // Loads a known picture first, so a failed load can be seen to leave it as it was.
    void LoadPrevious(RgbaImage& image)
    {
        ASSERT_TRUE(image.LoadFromFile(Saved("previous.png", GradientPicture(7, 5, true), "PNG")));
    }

    static void ExpectStillPrevious(const RgbaImage& image)
    {
        EXPECT_TRUE(image.IsCompositable());
        EXPECT_EQ(image.width, 7);
        EXPECT_EQ(image.height, 5);
        EXPECT_EQ(image.byte_count, 7 * 5 * 4);
        EXPECT_EQ(image.decoded_bitmap.size(), QSize(7, 5));
    }

    QTemporaryDir dir_;
};

TEST_F(RgbaImageLoad, PngWithAlphaKeepsStraightAlphaAndFullColours)
{
    const QImage picture = GradientPicture(33, 17, true);
    RgbaImage image;
    ASSERT_TRUE(image.LoadFromFile(Saved("alpha.png", picture, "PNG")));
    EXPECT_EQ(image.bits_per_pixel, 32);
    EXPECT_EQ(image.byte_count, 33 * 17 * 4);
    EXPECT_TRUE(image.ready);
    EXPECT_EQ(image.decoded_bitmap.constBits(), image.pixels.get()) << "the picture costs its pixels once";
    ExpectPixels(image, picture, -1);
}

TEST_F(RgbaImageLoad, TiffWithAlphaKeepsStraightAlpha)
{
    // Qt writes TIFF with associated (premultiplied) alpha; these colours and alphas survive
    // that round trip exactly, so any loss seen here is the loader's.
    QImage picture(20, 9, QImage::Format_ARGB32);
    const int alphas[] = {255, 85, 51, 17};
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 20; ++x)
            picture.setPixel(x, y, qRgba(15 * (x % 17), 15 * (y % 17), 15 * ((x + y) % 17), alphas[(x + y) % 4]));
    RgbaImage image;
    ASSERT_TRUE(image.LoadFromFile(Saved("alpha.tif", picture, "TIFF")));
    ExpectPixels(image, picture, -1);
}

TEST_F(RgbaImageLoad, BmpWithoutAlphaIsFullyTransparentUntilMadeSolid)
{
    const QImage picture = GradientPicture(13, 6, false).convertToFormat(QImage::Format_RGB888);
    RgbaImage image;
    ASSERT_TRUE(image.LoadFromFile(Saved("rgb.bmp", picture, "BMP")));
    ExpectPixels(image, picture, 0);
    image.MakeSolid();
    ExpectPixels(image, picture, 255);
}

TEST_F(RgbaImageLoad, JpegComesOutTransparentAndMakeSolidTouchesOnlyAlpha)
{
    RgbaImage image;
    ASSERT_TRUE(image.LoadFromFile(Saved("photo.jpg", GradientPicture(16, 16, false), "JPEG", 90)));
    QImage decoded(16, 16, QImage::Format_ARGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint8_t* p = image.pixels.get() + (y * 16 + x) * 4;
            ASSERT_EQ(p[3], 0);
            decoded.setPixel(x, y, qRgba(p[2], p[1], p[0], 0));
        }
    image.MakeSolid();
    ExpectPixels(image, decoded, 255);
}

TEST_F(RgbaImageLoad, GifKeepsItsTransparentColourAsAlpha)
{
    const QString path = PathOf("palette.gif");
    WriteBytes(path, test::GifWithTransparentColour());
    RgbaImage image;
    ASSERT_TRUE(image.LoadFromFile(path));
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
    const QRgb rows[2][4] = {{red, green, blue, red}, {green, green, blue, blue}};
    // Green is the transparent colour: its pixels are clear, whatever colour bytes they keep;
    // every other pixel is opaque in its palette colour.
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            const uint8_t* p = image.pixels.get() + (y * 4 + x) * 4;
            const bool clear = rows[y][x] == green;
            EXPECT_EQ(p[3], clear ? 0 : 255) << x << "," << y;
            if (!clear) {
                EXPECT_EQ(p[0], qBlue(rows[y][x])) << x << "," << y;
                EXPECT_EQ(p[2], qRed(rows[y][x])) << x << "," << y;
            }
        }
}

TEST_F(RgbaImageLoad, FilesThatDoNotDecodeLeaveThePictureUnchanged)
{
    RgbaImage image;
    LoadPrevious(image);

    const QString truncated = PathOf("truncated.png");
    {
        const QString full = Saved("full.png", GradientPicture(64, 64, true), "PNG");
        QFile file(full);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        WriteBytes(truncated, file.readAll().left(200));
    }
    const QString text = PathOf("notes.png");
    WriteBytes(text, "these are not the pixels you are looking for\n");
    const QString empty = PathOf("empty.jpg");
    WriteBytes(empty, {});
    // A whole picture, but its reader tells no size before decoding: the memory rule cannot
    // measure it.
    const QString sizeless = Saved("sizeless.icns", GradientPicture(16, 16, true), "ICNS");

    for (const QString& path : {truncated, text, empty, sizeless, PathOf("missing.png"), dir_.path()}) {
        EXPECT_FALSE(image.LoadFromFile(path)) << qPrintable(path);
        ExpectStillPrevious(image);
    }
    EXPECT_EQ(DescribeLoadFailure(sizeless),
              QStringLiteral("The picture does not tell its size before it is decoded, so its memory cannot be checked."));
}

TEST_F(RgbaImageLoad, PicturesTooLargeToHoldAreRefusedBeforeAnyAllocation)
{
    RgbaImage image;
    LoadPrevious(image);
    const struct {
        const char* name;
        QByteArray bytes;
    } bombs[] = {
        {"wide.png", test::PngDeclaring(2'000'000'000u, 1)},  // fits Qt's own 32-bit sizes
        {"square.png", test::PngDeclaring(40'000, 40'000)},  // 6.4 GB of pixels
        {"justover.png", test::PngDeclaring(23'171, 23'171)},  // 2^31 + 4,164 bytes
        {"huge.bmp", test::BmpDeclaring(100'000, 100'000)},
        {"negative.bmp", test::BmpDeclaring(-5, 3)},
    };
    for (const auto& bomb : bombs) {
        const QString path = PathOf(bomb.name);
        WriteBytes(path, bomb.bytes);
        EXPECT_FALSE(image.LoadFromFile(path)) << bomb.name;
        ExpectStillPrevious(image);
    }
}

// Of the machine's room and the control group's, the smaller counts.
TEST(MemoryGauge, TheSmallerRoomOfTheMachineAndTheProgramsControlGroupCounts)
{
    EXPECT_EQ(SmallerKnown(500, 300), 300);
    EXPECT_EQ(SmallerKnown(std::nullopt, 400), 400);
}

TEST(RgbaImage, StartsEmptyAndReleaseEmptiesIt)
{
    RgbaImage image;
    EXPECT_FALSE(image.IsCompositable());
    EXPECT_EQ(image.byte_count, 0);
    EXPECT_EQ(image.bits_per_pixel, 0);
    image.MakeSolid();  // nothing to do, nothing to crash
    EXPECT_EQ(image.pixels, nullptr);

    ASSERT_TRUE(image.FillSolid(3, 2, 1, 2, 3));
    image.Release();
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_EQ(image.byte_count, 0);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_TRUE(image.decoded_bitmap.isNull());
    EXPECT_FALSE(image.IsCompositable());
}

TEST(RgbaImage, FillSolidMakesOpaquePixelsInBlueGreenRedOrder)
{
    RgbaImage image;
    ASSERT_TRUE(image.FillSolid(960, 540, 0, 0, 170));
    EXPECT_EQ(image.byte_count, 2'073'600);
    EXPECT_EQ(image.bits_per_pixel, 32);
    EXPECT_TRUE(image.IsCompositable());
    for (int32_t i = 0; i < image.byte_count; i += 4) {
        ASSERT_EQ(image.pixels[i], 170);
        ASSERT_EQ(image.pixels[i + 1], 0);
        ASSERT_EQ(image.pixels[i + 2], 0);
        ASSERT_EQ(image.pixels[i + 3], 255);
    }
}

TEST(RgbaImage, FillSolidWithImpossibleSizesLeavesItEmpty)
{
    RgbaImage image;
    ASSERT_TRUE(image.FillSolid(4, 4, 9, 9, 9));
    EXPECT_FALSE(image.FillSolid(0, 10, 1, 2, 3));
    EXPECT_FALSE(image.IsCompositable());
    ASSERT_TRUE(image.FillSolid(4, 4, 9, 9, 9));
    EXPECT_FALSE(image.FillSolid(50'000, 50'000, 1, 2, 3));
    EXPECT_EQ(image.byte_count, 0);
    EXPECT_EQ(image.pixels, nullptr);
}

TEST(RgbaImage, HouseWatermarkIsCompiledInWithFadingEdges)
{
    RgbaImage image;
    ASSERT_TRUE(image.LoadFromResource(139));
    EXPECT_EQ(image.width, 480);
    EXPECT_EQ(image.height, 184);
    EXPECT_EQ(image.bits_per_pixel, 32);
    EXPECT_EQ(image.byte_count, 480 * 184 * 4);
    ASSERT_TRUE(image.IsCompositable());
    const auto alpha = [&](int x, int y) { return image.pixels[(y * 480 + x) * 4 + 3]; };
    EXPECT_EQ(alpha(0, 0), 0);
    EXPECT_EQ(alpha(479, 183), 0);
    EXPECT_EQ(alpha(240, 0), 0);
    EXPECT_EQ(alpha(0, 92), 0);
    EXPECT_EQ(alpha(240, 92), 255);
    EXPECT_GT(alpha(240, 10), 0);
    EXPECT_LT(alpha(240, 10), 255);
}

TEST(RgbaImage, UnknownResourceLeavesThePictureUnchanged)
{
    RgbaImage image;
    ASSERT_TRUE(image.FillSolid(2, 2, 1, 2, 3));
    EXPECT_FALSE(image.LoadFromResource(4242));
    EXPECT_TRUE(image.IsCompositable());
    EXPECT_EQ(image.width, 2);
}

}  // namespace
}  // namespace vantor
