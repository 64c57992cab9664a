#include "imagery/animated_reader.h"

#include "imagery/image_decoder.h"
#include "imagery/load_measure.h"
#include "imagery/regular_file.h"

namespace vantor {
namespace {

constexpr int kDecodeLimitMegabytes = 2048;

// A GIF ends with its trailer byte; Qt's reader takes a file cut between two frames as complete.
bool EndsWithGifTrailer(QFile& file)
{
    char last = 0;
    const bool read = file.size() > 0 && file.seek(file.size() - 1) && file.getChar(&last);
    file.seek(0);
    return read && last == 0x3B;
}

class AnimatedPicture final : public AnimationSource {
public:
    explicit AnimatedPicture(std::unique_ptr<QFile> file)
        : file_(std::move(file)), complete_(EndsWithGifTrailer(*file_)), reader_(file_.get())
    {
        reader_.setAutoTransform(false);
        reader_.setAllocationLimit(kDecodeLimitMegabytes);
        size_ = DecodedPictureSize(reader_);
        is_gif_ = reader_.format() == "gif";
    }

    bool CanRead() { return reader_.canRead() && size_.isValid() && PixelBytes(size_.width(), size_.height()); }

    int64_t TimeBaseNum() const override { return 1; }
    int64_t TimeBaseDen() const override { return 1000; }
    int32_t ExpectedFrames() const override { return std::max(reader_.imageCount(), 0); }
    int32_t Width() const override { return size_.width(); }
    int32_t Height() const override { return size_.height(); }
    // Qt's canvas, the copy of it handed over while the next frame is composed, and its conversion.
    int64_t DecoderBytes() const override { return int64_t{3} * size_.width() * size_.height() * 4; }
    bool HasAlpha() const override { return true; }

    FrameRead ReadFrame(RgbaImage& picture, int64_t& start, int64_t& duration) override
    {
        const int32_t expected = ExpectedFrames();
        if (read_ > 0 && ((expected > 0 && read_ >= expected) || !reader_.canRead())) {
            if (!is_gif_ || complete_)
                return FrameRead::kEnd;
            problem_ = QStringLiteral("The animation is damaged after frame %1: the file is incomplete.").arg(read_);
            return FrameRead::kFailed;
        }
        QImage image;
        if (!reader_.read(&image)) {
            problem_ = read_ == 0 ? QStringLiteral("The picture is damaged or incomplete.")
                                  : QStringLiteral("The animation is damaged after frame %1.").arg(read_);
            return FrameRead::kFailed;
        }
        // Every frame is composed on one canvas, the size measured; one of another size is damage.
        if (image.size() != size_) {
            problem_ = QStringLiteral("The animation is damaged: frame %1 is not %2 x %3 pixels.")
                           .arg(read_ + 1).arg(size_.width()).arg(size_.height());
            return FrameRead::kFailed;
        }
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        if (argb.isNull() || !picture.LoadDecoded(argb.width(), argb.height(),
                                                  [&](uint8_t* rows) { CopyRows(argb, rows); })) {
            problem_ = QStringLiteral("There is not enough memory to decode the animation.");
            return FrameRead::kFailed;
        }
        const int64_t delay = reader_.nextImageDelay();
        start = elapsed_;
        duration = is_gif_ ? EffectiveGifDelayMs(delay) : std::max<int64_t>(delay, 1);
        elapsed_ += duration;
        ++read_;
        return FrameRead::kFrame;
    }

    QString Problem() const override { return problem_; }

private:
    std::unique_ptr<QFile> file_;
    bool complete_;  // for a GIF: its trailer is there
    QImageReader reader_;
    QSize size_;
    bool is_gif_ = false;
    int32_t read_ = 0;
    int64_t elapsed_ = 0;
    QString problem_;
};

}  // namespace

bool IsAnimatedPicture(const QString& path)
{
    const std::unique_ptr<QFile> file = OpenRegularFile(path);
    return file && IsAnimatedPicture(*file);
}

bool IsAnimatedPicture(QIODevice& file)
{
    if (!file.seek(0))
        return false;
    QImageReader reader(&file);
    const bool animated = reader.supportsAnimation() && reader.imageCount() != 1;
    file.seek(0);
    return animated;
}

std::unique_ptr<AnimationSource> OpenAnimatedPicture(std::unique_ptr<QFile> file, QString& why)
{
    auto source = std::make_unique<AnimatedPicture>(std::move(file));
    if (!source->CanRead()) {
        why = QStringLiteral("The picture is damaged or incomplete.");
        return nullptr;
    }
    return source;
}

}  // namespace vantor
