#include "imagery/image_decoder.h"

#include "imagery/load_measure.h"
#include "imagery/png_decoder.h"
#include "imagery/sequence_texts.h"

#include <QFileInfo>
#include <QImageReader>

#include <cstring>
#include <limits>

namespace vantor {
namespace {

// Qt refuses larger pictures itself; this lets through everything whose pixels fit the
// signed 32-bit byte count, and the count is checked again before anything is allocated.
constexpr int kDecodeLimitMegabytes = 2048;

QImage ToArgb32(const QImage& image)
{
    if (image.format() == QImage::Format_ARGB32)
        return image;
    return image.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

// Bytes a load of a w x h picture that the reader decodes in `decoded_format` holds at its
// peak, counted as if all lived at once: the decoded picture, its conversion to 32-bit pixels
// unless it comes so, the pixels kept and the thumbnail's opaque copy. A reader that does not
// say how it decodes is taken to decode 32-bit pixels of another kind.
int64_t LoadPeakBytes(int64_t w, int64_t h, QImage::Format decoded_format)
{
    const int64_t decoded_bits =
        decoded_format == QImage::Format_Invalid ? 32 : QImage::toPixelFormat(decoded_format).bitsPerPixel();
    const int64_t decoded = (w * decoded_bits + 31) / 32 * 4 * h;  // rows padded to 4 bytes
    const int64_t conversion = decoded_format == QImage::Format_ARGB32 ? 0 : w * h * 4;
    return decoded + conversion + 2 * (w * h * 4);
}

namespace {

// The reader has read the header already: the PNG decoder starts again from the first byte.
DecodedPicture DecodePngFrom(QFile& file)
{
    if (!file.seek(0))
        return {};
    return DecodePng(file);
}

// Every other kind through Qt's reader, turned as the file's orientation tag says. A GIF's
// transparent colour, like any other alpha, is kept.
DecodedPicture DecodeWithReader(QImageReader& reader)
{
    reader.setAutoTransform(true);
    QImage image;
    if (!reader.read(&image))
        return {};
    return {ToArgb32(image), image.hasAlphaChannel()};
}

// Whether the machine can give the peak of loading the picture the reader declares.
bool RoomToLoad(const QImageReader& reader, QSize declared, const MemoryGauge& memory)
{
    return RoomFor(memory, LoadPeakBytes(declared.width(), declared.height(), reader.imageFormat()));
}

}  // namespace

std::optional<int32_t> PixelBytes(int64_t w, int64_t h)
{
    if (w <= 0 || h <= 0)
        return std::nullopt;
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    if (w > kMax / 4 || h > kMax / (w * 4))
        return std::nullopt;
    return static_cast<int32_t>(w * h * 4);
}

QImage DecodeImageFile(const QString& path, const MemoryGauge& memory, const FileOpener& open)
{
    const std::unique_ptr<QFile> file = open(path);
    if (!file)
        return {};
    QImageReader reader(file.get());
    reader.setAllocationLimit(kDecodeLimitMegabytes);
    // Without a size in advance the memory rule cannot be kept: such a file is refused.
    const QSize declared = DecodedPictureSize(reader);
    if (!declared.isValid() || !PixelBytes(declared.width(), declared.height()) ||
        !RoomToLoad(reader, declared, memory))
        return {};
    DecodedPicture decoded = reader.format() == "png" ? DecodePngFrom(*file) : DecodeWithReader(reader);
    if (decoded.argb32.isNull() || !PixelBytes(decoded.argb32.width(), decoded.argb32.height()))
        return {};
    if (!decoded.carries_alpha)
        FillAlpha(decoded.argb32, 0);
    return std::move(decoded.argb32);
}

QString DescribeLoadFailure(const QString& path, const MemoryGauge& memory)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QString::fromLatin1(kFailureMissing);
    if (info.isDir())
        return QString::fromLatin1(kFailureFolder);
    if (!info.isFile())
        return QString::fromLatin1(kFailureNotRegular);
    const std::unique_ptr<QFile> file = OpenRegularFile(path);
    if (!file)
        return QString::fromLatin1(kFailureUnreadable);
    if (info.size() == 0)
        return QString::fromLatin1(kFailureEmpty);
    QImageReader reader(file.get());
    if (!reader.canRead())
        return QString::fromLatin1(kFailureNotAPicture);
    const QSize declared = DecodedPictureSize(reader);
    if (!declared.isValid())
        return QString::fromLatin1(kFailureSizeUnknown);
    if (!PixelBytes(declared.width(), declared.height()))
        return QString::fromLatin1(kFailureTooLarge).arg(declared.width()).arg(declared.height());
    if (!RoomToLoad(reader, declared, memory))
        return QString::fromLatin1(kFailureNoMemory).arg(declared.width()).arg(declared.height());
    return QString::fromLatin1(kFailureDamaged);
}

QImage DecodeBitmapResource(int resource_id)
{
    const QString path = QStringLiteral(":/bitmaps/%1.png").arg(resource_id);
    QImageReader reader(path);
    QImage image;
    if (!reader.read(&image) || !PixelBytes(image.width(), image.height()))
        return {};
    return ToArgb32(image);
}

void FillAlpha(QImage& argb32, uint8_t alpha)
{
    for (int y = 0; y < argb32.height(); ++y) {
        uint8_t* row = argb32.scanLine(y);
        for (int x = 0; x < argb32.width(); ++x)
            row[x * 4 + 3] = alpha;
    }
}

void CopyRows(const QImage& argb32, uint8_t* dst)
{
    const size_t row_bytes = static_cast<size_t>(argb32.width()) * 4;
    for (int y = 0; y < argb32.height(); ++y)
        std::memcpy(dst + y * row_bytes, argb32.constScanLine(y), row_bytes);
}

}  // namespace vantor
