#include "imagery/picture_scale.h"

#include "imagery/memory_gauge.h"

#include <QImage>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace vantor {

namespace {

// n * num / den rounded to nearest, at least 1.
int32_t ScaledLength(int32_t n, int64_t num, int64_t den)
{
    return int32_t(std::max<int64_t>(1, (int64_t{n} * num * 2 + den) / (2 * den)));
}

}  // namespace

PixelSize ScaledSize(int32_t w, int32_t h, int32_t scale, int32_t output_height)
{
    const int64_t num = scale == kScaleFit ? output_height : scale;
    const int64_t den = scale == kScaleFit ? kFitReferenceHeight : 100;
    return {ScaledLength(w, num, den), ScaledLength(h, num, den)};
}

// Qt's smooth scaling averages (down) or interpolates (up) the premultiplied pixels, so a
// transparent pixel's colour weighs nothing; the result goes back to straight alpha.
bool ScalePicture(const RgbaImage& picture, PixelSize size, RgbaImage& scaled)
{
    scaled.Release();
    if (!picture.IsCompositable())
        return false;
    // The premultiplied source, its filtered copy, and the straight result live at once.
    const int64_t out_bytes = int64_t{size.width} * size.height * 4;
    if (!RoomFor(AvailableMemoryBytes, int64_t{picture.byte_count} + 2 * out_bytes))
        return false;
    const QImage view(picture.pixels.get(), picture.width, picture.height, qsizetype(picture.width) * 4,
                      QImage::Format_ARGB32);
    const QImage straight = view.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                .scaled(size.width, size.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(QImage::Format_ARGB32);
    if (straight.isNull())
        return false;
    return scaled.LoadDecoded(size.width, size.height, [&](uint8_t* out) {
        const size_t row_bytes = size_t(size.width) * 4;
        for (int32_t y = 0; y < size.height; ++y)
            std::memcpy(out + row_bytes * size_t(y), straight.constScanLine(y), row_bytes);
    });
}

RgbaImage ScaledForList(const FrameList& frames, const RgbaImage& picture)
{
    RgbaImage scaled;
    const PixelSize size = ScaledSize(picture.width, picture.height, frames.scale, frames.output_height);
    if (size != PixelSize{picture.width, picture.height})
        ScalePicture(picture, size, scaled);
    return scaled;
}

void ScaleChain(const FrameList& frames, SequenceFrame* from)
{
    for (SequenceFrame* node = from; node; node = node->next)
        node->scaled = ScaledForList(frames, node->image);
}

// Only this thread links frames, so it walks the list without the guard.
void RescaleFrames(FrameList& frames, int32_t scale, int32_t output_height)
{
    if (frames.scale == scale && frames.output_height == output_height)
        return;
    frames.scale = scale;
    frames.output_height = output_height;
    std::vector<RgbaImage> made;
    for (const SequenceFrame* node = &frames.first; node; node = node->next)
        made.push_back(ScaledForList(frames, node->image));
    {
        std::lock_guard lock(frames.guard);
        auto copy = made.begin();
        for (SequenceFrame* node = &frames.first; node; node = node->next)
            std::swap(node->scaled, *copy++);
        ++frames.scale_changes;
    }
}  // the old copies go with `made`, outside the guard

}  // namespace vantor
