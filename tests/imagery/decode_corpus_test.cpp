// Every kind of still a station may send decodes as ImageMagick reads it. Each file is made by
// convert from one source picture, then read by DecodeImageFile and by convert, and compared
// with each colour weighted by its alpha, as a receiver keys it: where a pixel is fully
// transparent its colour does not count. Files that carry no transparency load with alpha 0
// everywhere, until made solid; their colours are compared as made solid.

#include "imagery/image_decoder.h"
#include "test_images.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ostream>

namespace vantor {
namespace {

// Odd sizes, so that no row is a whole number of words.
constexpr int kWidth = 67;
constexpr int kHeight = 45;

// What a PNG row's file must be, so that a convert that chose another form fails the row
// instead of testing something else; depth 0 for files that are no PNG.
struct PngForm {
    int depth = 0;
    int colour_type = 0;
    bool transparent_colour = false;
    bool interlaced = false;
};

struct Kind {
    const char* name;
    const char* output;   // as convert names it, with a format prefix where the name is not enough
    const char* options;  // between the source and the output, split at spaces
    bool carries_alpha;
    bool lossy = false;
    PngForm png = {};
    bool binary = false;  // alpha made 0 or full, one colour under it, before the options
    bool turned = false;  // given an EXIF orientation of a quarter turn after convert wrote it
};

// A failing row names its kind, not its bytes.
void PrintTo(const Kind& kind, std::ostream* out) { *out << kind.name; }

// Red along x, green along y and blue across both at 16 bits; alpha zero over the left fifth,
// then climbing from 1/65535 to full, higher down the picture.
QImage SourcePicture()
{
    QImage image(kWidth, kHeight, QImage::Format_RGBA64);
    const int clear = kWidth / 5;
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<QRgba64*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const int alpha = x < clear ? 0 : 1 + 300 * y + (x - clear) * (65534 - 300 * y) / (kWidth - clear);
            row[x] = qRgba64(quint16(x * 65535 / (kWidth - 1)), quint16(y * 65535 / (kHeight - 1)),
                             quint16((x + y) * 65535 / (kWidth + kHeight - 2)), quint16(alpha));
        }
    }
    return image;
}

const Kind kKinds[] = {
    {"PNG 1-bit grey", "g1.png", "-alpha off -colorspace gray -threshold 50% -define png:bit-depth=1 -define png:color-type=0", false, false, {1, 0}},
    {"PNG 2-bit grey", "g2.png", "-alpha off -colorspace gray -depth 2 -define png:bit-depth=2 -define png:color-type=0", false, false, {2, 0}},
    {"PNG 4-bit grey", "g4.png", "-alpha off -colorspace gray -depth 4 -define png:bit-depth=4 -define png:color-type=0", false, false, {4, 0}},
    {"PNG 8-bit grey", "g8.png", "-alpha off -colorspace gray -depth 8 -define png:color-type=0", false, false, {8, 0}},
    {"PNG 16-bit grey", "g16.png", "-alpha off -colorspace gray -depth 16 -define png:color-type=0", false, false, {16, 0}},
    {"PNG 2-bit grey interlaced", "ig2.png",
     "-alpha off -colorspace gray -depth 2 -define png:bit-depth=2 -define png:color-type=0 -interlace PNG", false, false,
     {2, 0, false, true}},
    {"PNG 8-bit grey and alpha", "ga8.png", "-colorspace gray -depth 8 -define png:color-type=4", true, false, {8, 4}},
    {"PNG 16-bit grey and alpha", "ga16.png", "-colorspace gray -depth 16 -define png:color-type=4", true, false, {16, 4}},
    {"PNG 8-bit grey with a transparent grey", "gt8.png", "-colorspace gray -depth 8 -define png:color-type=0", true, false,
     {8, 0, true}, true},
    {"PNG 16-bit grey with a transparent grey", "gt16.png", "-colorspace gray -depth 16 -define png:color-type=0", true,
     false, {16, 0, true}, true},
    {"PNG 4-bit palette", "PNG8:p4.png", "-alpha off -colors 16 -define png:bit-depth=4", false, false, {4, 3}},
    {"PNG 8-bit palette", "PNG8:p8.png", "-alpha off -colors 200", false, false, {8, 3}},
    {"PNG 8-bit palette with transparency", "PNG8:pt8.png", "-colors 200", true, false, {8, 3, true}, true},
    {"PNG 8-bit RGB with a transparent colour", "PNG24:rt8.png", "", true, false, {8, 2, true}, true},
    {"PNG 16-bit RGB with a transparent colour", "PNG48:rt16.png", "", true, false, {16, 2, true}, true},
    {"PNG 16-bit RGB with a transparent colour interlaced", "PNG48:irt16.png", "-interlace PNG", true, false,
     {16, 2, true, true}, true},
    {"PNG 8-bit RGBA", "PNG32:ra8.png", "", true, false, {8, 6}},
    {"PNG 16-bit RGBA", "PNG64:ra16.png", "", true, false, {16, 6}},
    {"PNG 8-bit RGBA interlaced", "PNG32:ira8.png", "-interlace PNG", true, false, {8, 6, false, true}},
    {"GIF with a transparent colour", "t.gif", "", true, false, {}, true},
    {"GIF without transparency", "o.gif", "-alpha off", false},
    {"animated GIF, its first frame", "a.gif", "( +clone -flop ) -loop 0", true, false, {}, true},
    {"JPEG baseline", "b.jpg", "-alpha remove -quality 90", false, true},
    {"JPEG progressive", "p.jpg", "-alpha remove -quality 90 -interlace JPEG", false, true},
    {"JPEG CMYK", "c.jpg", "-alpha remove -colorspace CMYK -quality 90", false, true},
    {"JPEG turned by its EXIF orientation", "r.jpg", "-alpha remove -quality 90", false, true, {}, false, true},
    {"BMP 24-bit", "BMP3:b24.bmp", "-alpha off -type TrueColor", false},
    {"BMP 32-bit with alpha", "BMP:b32a.bmp", "-depth 8", true},
    {"BMP 32-bit without alpha", "BMP3:b32.bmp", "-depth 8 -alpha opaque -define bmp3:alpha=true", false},
    {"TIFF 8-bit", "t8.tif", "-alpha off -depth 8", false},
    {"TIFF 8-bit with alpha", "ta8.tif", "-depth 8", true},
    {"TIFF 16-bit", "t16.tif", "-alpha off -depth 16", false},
    {"TIFF 16-bit with alpha", "ta16.tif", "-depth 16", true},
    {"WebP lossy with alpha", "l.webp", "-quality 90 -define webp:lossless=false", true, true},
    {"WebP lossless with alpha", "ll.webp", "-define webp:lossless=true", true},
};

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The PNG's header fields (bytes 24, 25 and 28 of the file) and whether it has a tRNS chunk.
PngForm FormOf(const QByteArray& png)
{
    if (png.size() < 33)
        return {};
    return {uint8_t(png[24]), uint8_t(png[25]), png.contains("tRNS"), png[28] != 0};
}

// The reference: convert's first picture of the file, turned as the file says, as 8-bit RGBA.
struct Reference {
    int width = 0;
    int height = 0;
    QByteArray rgba;
};

Reference ReadReference(const QString& path)
{
    QProcess convert;
    convert.start(QStringLiteral("convert"), {path + QStringLiteral("[0]"), QStringLiteral("-auto-orient"),
                                              QStringLiteral("-print"), QStringLiteral("%w %h\n"), QStringLiteral("-depth"),
                                              QStringLiteral("8"), QStringLiteral("rgba:-")});
    if (!convert.waitForFinished(60000) || convert.exitCode() != 0)
        return {};
    const QByteArray out = convert.readAllStandardOutput();
    const qsizetype line_end = out.indexOf('\n');
    const QList<QByteArray> size = out.left(line_end).split(' ');
    if (line_end < 0 || size.size() != 2)
        return {};
    return {size[0].toInt(), size[1].toInt(), out.mid(line_end + 1)};
}

struct Difference {
    int worst = 0;       // levels, over every channel of every pixel
    double mean = 0.0;   // levels per channel
};

// Alpha as it is; each colour as colour times alpha over 255, rounded.
Difference Compare(const QImage& ours, const QByteArray& rgba)
{
    const auto weighted = [](const uint8_t* pixel, int channel) {
        return channel == 3 ? pixel[3] : (pixel[channel] * pixel[3] + 127) / 255;
    };
    Difference difference;
    int64_t sum = 0;
    for (int y = 0; y < ours.height(); ++y)
        for (int x = 0; x < ours.width(); ++x) {
            const uint8_t* mine = ours.constScanLine(y) + x * 4;  // blue, green, red, alpha
            const auto* theirs = reinterpret_cast<const uint8_t*>(rgba.constData()) + (y * ours.width() + x) * 4;
            for (int c = 0; c < 4; ++c) {  // red, green, blue, alpha
                const int gap = std::abs(weighted(mine, c == 3 ? 3 : 2 - c) - weighted(theirs, c));
                difference.worst = std::max(difference.worst, gap);
                sum += gap;
            }
        }
    difference.mean = double(sum) / (int64_t{ours.width()} * ours.height() * 4);
    return difference;
}

class DecodeCorpus : public ::testing::TestWithParam<Kind> {
protected:
    // Makes the row's file from the source picture; its path, or empty when convert failed.
    QString Make(const Kind& kind)
    {
        const QString source = dir_.filePath(QStringLiteral("source.png"));
        if (!SourcePicture().save(source))
            return {};
        // Grey level 1 is nowhere opaque in the source: it can stand for the transparent pixels.
        const QString binary = QStringLiteral("-channel A -threshold 50% +channel -background gray(1) -alpha background ");
        const QString options = (kind.binary ? binary : QString()) + QString::fromLatin1(kind.options);
        const QString output = QString::fromLatin1(kind.output);
        const QString path = dir_.filePath(output.section(u':', -1));
        const QString prefix = output.contains(u':') ? output.section(u':', 0, 0) + u':' : QString();
        if (!test::Convert(QStringList{source} + options.split(u' ', Qt::SkipEmptyParts) + QStringList{prefix + path}))
            return {};
        if (kind.turned)
            test::WriteBytes(path, test::WithExifOrientation(FileBytes(path), 6));
        return path;
    }

    QTemporaryDir dir_;
};

TEST_P(DecodeCorpus, DecodesAsTheReferenceDecoderDoes)
{
    const Kind& kind = GetParam();
    SCOPED_TRACE(kind.name);
    const QString path = Make(kind);
    ASSERT_FALSE(path.isEmpty()) << "convert could not make the file";
    if (kind.png.depth != 0) {
        const PngForm form = FormOf(FileBytes(path));
        ASSERT_EQ(std::tuple(form.depth, form.colour_type, form.transparent_colour, form.interlaced),
                  std::tuple(kind.png.depth, kind.png.colour_type, kind.png.transparent_colour, kind.png.interlaced))
            << "convert wrote another kind of PNG";
    }
    const Reference reference = ReadReference(path);
    QImage ours = DecodeImageFile(path);
    ASSERT_FALSE(ours.isNull()) << "it did not decode";
    ASSERT_EQ(ours.format(), QImage::Format_ARGB32);
    ASSERT_EQ(ours.size(), QSize(reference.width, reference.height));
    ASSERT_EQ(reference.rgba.size(), qsizetype{reference.width} * reference.height * 4);
    if (kind.turned) {
        ASSERT_EQ(ours.size(), QSize(kHeight, kWidth)) << "the orientation turns it a quarter";
    }
    if (!kind.carries_alpha) {
        for (int y = 0; y < ours.height(); ++y)
            for (int x = 0; x < ours.width(); ++x)
                ASSERT_EQ(ours.constScanLine(y)[x * 4 + 3], 0) << "a file without transparency loads with alpha 0";
        FillAlpha(ours, 255);
    }
    const Difference difference = Compare(ours, reference.rgba);
    std::printf("%-52s worst %3d  mean %.3f\n", kind.name, difference.worst, difference.mean);
    const auto said = [&] { return ::testing::Message() << kind.name << ": worst difference " << difference.worst
                                                        << " levels, mean " << difference.mean; };
    if (kind.lossy)
        EXPECT_LE(difference.mean, 2.0) << said();
    else
        EXPECT_LE(difference.worst, 1) << said();
}

INSTANTIATE_TEST_SUITE_P(EveryKind, DecodeCorpus, ::testing::ValuesIn(kKinds), [](const auto& info) {
    std::string name = info.param.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
});

}  // namespace
}  // namespace vantor
