#include "imagery/thumbnail.h"

#include "imagery/animated_reader.h"
#include "imagery/image_decoder.h"
#include "imagery/rgba_image.h"

namespace vantor {
namespace {

// Halves rounded down, also for a picture that overhangs the control.
int32_t FloorHalf(int32_t v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); }

// An animation's first frame that shows; nothing when none does or the file reads badly.
std::optional<QImage> FirstVisibleFrame(std::unique_ptr<QFile> file)
{
    QString why;
    const std::unique_ptr<AnimationSource> animation = OpenAnimatedPicture(std::move(file), why);
    if (!animation)
        return std::nullopt;
    RgbaImage frame;
    int64_t start_ms = 0;
    int64_t duration_ms = 0;
    while (animation->ReadFrame(frame, start_ms, duration_ms) == FrameRead::kFrame)
        if (frame.AnyVisiblePixel())
            return frame.decoded_bitmap.copy();  // the view goes with the frame's pixels
    return std::nullopt;
}

}  // namespace

std::optional<ThumbnailRect> PlaceThumbnail(int32_t picture_width, int32_t picture_height,
                                            int32_t control_width, int32_t control_height)
{
    if (picture_height <= 0 || picture_width <= 0)
        return std::nullopt;
    // The ratio is single precision and compared with 16/9 as a double: 1920 x 1080 gives
    // 1.7777778f, just above 16/9, so it fills the width.
    const float aspect = static_cast<float>(picture_width) / static_cast<float>(picture_height);
    int32_t w;
    int32_t h;
    if (static_cast<double>(aspect) >= 16.0 / 9.0) {
        w = control_width;
        h = static_cast<int32_t>(static_cast<float>(control_width) / aspect);
    } else {
        h = control_height;
        w = static_cast<int32_t>(static_cast<float>(control_height) * aspect);
    }
    return ThumbnailRect{FloorHalf(control_width - w), FloorHalf(control_height - h), w, h};
}

QImage DecodeThumbnailPicture(const QString& path, const MemoryGauge& memory, const FileOpener& open)
{
    // The first frame's load checks the file's size and the memory for every later frame too.
    QImage first = DecodeImageFile(path, memory, open);
    if (first.isNull())
        return first;
    std::unique_ptr<QFile> file = open(path);
    if (!file || !IsAnimatedPicture(*file) || !file->seek(0))
        return first;
    return FirstVisibleFrame(std::move(file)).value_or(std::move(first));
}

}  // namespace vantor
