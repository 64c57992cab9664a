#include "imagery/load_measure.h"

#include "imagery/animated_reader.h"
#include "imagery/animation_source.h"
#include "imagery/image_decoder.h"
#include "imagery/movie_reader.h"
#include "imagery/sequence_texts.h"

#include <algorithm>

namespace vantor {
namespace {

// A GIF's logical screen, from its header; nothing when the device cannot be read from its start.
std::optional<QSize> GifScreen(QIODevice& device)
{
    const qint64 was_at = device.pos();
    if (!device.seek(0))
        return std::nullopt;
    const QByteArray head = device.read(10);
    device.seek(was_at);
    if (head.size() < 10)
        return std::nullopt;
    const auto byte = [&head](int i) { return int(uchar(head[i])); };
    return QSize(byte(6) | byte(7) << 8, byte(8) | byte(9) << 8);
}

std::optional<LoadMeasure> MeasureStill(QFile& file, QString& why)
{
    QImageReader reader(&file);
    if (!reader.canRead()) {
        why = QString::fromLatin1(kFailureNotAPicture);
        return std::nullopt;
    }
    const QSize size = DecodedPictureSize(reader);
    if (!size.isValid()) {
        why = QString::fromLatin1(kFailureSizeUnknown);
        return std::nullopt;
    }
    if (!PixelBytes(size.width(), size.height())) {
        why = QString::fromLatin1(kFailureTooLarge).arg(size.width()).arg(size.height());
        return std::nullopt;
    }
    return LoadMeasure{false, size.width(), size.height(), 1,
                       LoadPeakBytes(size.width(), size.height(), reader.imageFormat())};
}

}  // namespace

QSize DecodedPictureSize(QImageReader& reader)
{
    const QSize declared = reader.size();
    if (!declared.isValid() || reader.format() != "gif" || !reader.device())
        return declared;
    const std::optional<QSize> screen = GifScreen(*reader.device());
    if (!screen)
        return declared;
    return {screen->width() > 0 ? screen->width() : declared.width(),
            screen->height() > 0 ? screen->height() : declared.height()};
}

LoadMeasure MeasureAnimation(const AnimationSource& source)
{
    LoadMeasure measure{true, source.Width(), source.Height(), std::max(source.EstimatedFrames(), 1), 0};
    measure.peak_bytes = int64_t{measure.frames} * measure.width * measure.height * 4 + source.DecoderBytes();
    return measure;
}

QString ShareRefusal(const LoadMeasure& measure, std::optional<int64_t> share_bytes)
{
    if (!share_bytes || measure.peak_bytes <= *share_bytes)
        return {};
    if (measure.animation)
        return QString::fromLatin1(kFailureAnimationTooLarge)
            .arg(MegabytesUp(measure.peak_bytes))
            .arg(MegabytesDown(*share_bytes));
    return QString::fromLatin1(kFailureNoMemory).arg(measure.width).arg(measure.height);
}

std::optional<LoadMeasure> MeasureLoad(const QString& path, QString& why, const FileOpener& open)
{
    std::unique_ptr<QFile> file = open(path);
    if (!file) {
        why = QString::fromLatin1(kFailureCannotRead);
        return std::nullopt;
    }
    std::unique_ptr<AnimationSource> source;
    if (HasMovieExtension(path)) {
        source = OpenMovie(path, std::move(file), why);
    } else {
        if (!IsAnimatedPicture(*file))
            return MeasureStill(*file, why);
        source = OpenAnimatedPicture(std::move(file), why);
    }
    if (!source)
        return std::nullopt;
    return MeasureAnimation(*source);
}

}  // namespace vantor
