#include "ndi/frame_taker.h"

#include "ndi/qtrle_writer.h"

#include <cstring>

namespace vantor::ndi {
namespace {

constexpr int32_t kPixelBytes = 4;
constexpr int32_t kBlockPixels = 16;  // compared with one memcmp before looking closer

// First pixel in [0, count) where the rows differ; count when none does.
int32_t FirstDifference(const uint8_t* a, const uint32_t* b, int32_t count)
{
    int32_t i = 0;
    while (i + kBlockPixels <= count &&
           std::memcmp(a + i * kPixelBytes, b + i, kBlockPixels * kPixelBytes) == 0)
        i += kBlockPixels;
    while (i < count && std::memcmp(a + i * kPixelBytes, b + i, kPixelBytes) == 0)
        ++i;
    return i;
}

// One past the last pixel where the rows differ, given that they differ at or after `from`.
int32_t DifferenceEnd(const uint8_t* a, const uint32_t* b, int32_t from, int32_t count)
{
    int32_t end = count;
    while (end - kBlockPixels >= from &&
           std::memcmp(a + (end - kBlockPixels) * kPixelBytes, b + end - kBlockPixels,
                       kBlockPixels * kPixelBytes) == 0)
        end -= kBlockPixels;
    while (end > from && std::memcmp(a + (end - 1) * kPixelBytes, b + end - 1, kPixelBytes) == 0)
        --end;
    return end;
}

}  // namespace

bool TakeFrame(const uint8_t* frame, int32_t stride_bytes, Picture& picture, ByteBuffer& delta)
{
    QtrleWriter writer(delta, false);
    const int32_t width = picture.width();
    bool changed = false;
    for (int32_t y = 0; y < picture.height(); ++y) {
        const uint8_t* source = frame + size_t(y) * size_t(stride_bytes);
        uint32_t* kept = picture.Row(y);
        if (std::memcmp(source, kept, size_t(width) * kPixelBytes) == 0)
            continue;
        const int32_t first = FirstDifference(source, kept, width);
        const int32_t end = DifferenceEnd(source, kept, first, width);
        std::memcpy(kept + first, source + first * kPixelBytes, size_t(end - first) * kPixelBytes);
        writer.WriteLine(y, kept, first, end);
        changed = true;
    }
    writer.Finish();
    return changed;
}

}  // namespace vantor::ndi
