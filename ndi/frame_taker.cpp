#include "ndi/frame_taker.h"

#include "ndi/qtrle_writer.h"

#include <cstring>
#include <emmintrin.h>
#include <optional>
#include <span>

namespace vantor::ndi {
namespace {

constexpr int32_t kPixelBytes = 4;
constexpr int32_t kBlockPixels = 16;  // compared with one memcmp before looking closer
constexpr size_t kStreamedPixels = 2048;

bool Equal(const uint8_t* a, const uint32_t* b, int32_t from, int32_t to)
{
    return std::memcmp(a + from * kPixelBytes, b + from, size_t(to - from) * kPixelBytes) == 0;
}

// First pixel in [from, to) where the rows differ; `to` when none does.
int32_t FirstDifference(const uint8_t* a, const uint32_t* b, int32_t from, int32_t to)
{
    int32_t i = from;
    while (i + kBlockPixels <= to && Equal(a, b, i, i + kBlockPixels))
        i += kBlockPixels;
    while (i < to && Equal(a, b, i, i + 1))
        ++i;
    return i;
}

// One past the last pixel in [from, to) where the rows differ, given that they differ at `from`.
int32_t DifferenceEnd(const uint8_t* a, const uint32_t* b, int32_t from, int32_t to)
{
    int32_t end = to;
    while (end - kBlockPixels >= from && Equal(a, b, end - kBlockPixels, end))
        end -= kBlockPixels;
    while (end > from && Equal(a, b, end - 1, end))
        --end;
    return end;
}

// The columns [first, end) from the first to the last difference within the spans; empty
// (first == end) when there is none.
PixelSpan ChangedColumns(const uint8_t* a, const uint32_t* b, std::span<const PixelSpan> spans)
{
    PixelSpan changed;
    for (const PixelSpan& span : spans) {
        if (Equal(a, b, span.first, span.end))
            continue;
        const int32_t first = FirstDifference(a, b, span.first, span.end);
        if (changed.first == changed.end)
            changed.first = first;
        changed.end = DifferenceEnd(a, b, first, span.end);
    }
    return changed;
}

// Copies `pixels` pixels; long spans go out past the cache, as a frame changed everywhere does
// not stay there, and writing without first reading what was there saves a third of the copy.
// Returns whether it streamed.
bool CopyPixels(uint32_t* to, const uint8_t* from, size_t pixels)
{
    if (pixels < kStreamedPixels) {
        std::memcpy(to, from, pixels * kPixelBytes);
        return false;
    }
    size_t i = 0;
    for (; reinterpret_cast<uintptr_t>(to + i) % sizeof(__m128i) != 0; ++i)
        std::memcpy(to + i, from + i * kPixelBytes, kPixelBytes);
    for (; i + 4 <= pixels; i += 4)
        _mm_stream_si128(reinterpret_cast<__m128i*>(to + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i * kPixelBytes)));
    std::memcpy(to + i, from + i * kPixelBytes, (pixels - i) * kPixelBytes);
    return true;
}

}  // namespace

bool TakeFrame(const uint8_t* frame, int32_t stride_bytes, Picture& picture, ByteBuffer* delta,
               const ChangedArea& area, RowBand whole_rows)
{
    std::optional<QtrleWriter> writer;
    if (delta)
        writer.emplace(*delta, false);
    const int32_t width = picture.width();
    const PixelSpan whole_row[] = {{0, width}};
    const RowBand area_rows = area.Rows(picture.height());
    ChangedArea::Spans row_spans;
    bool changed = false;
    bool streamed = false;
    for (int32_t y = 0; y < picture.height(); ++y) {
        if (!area_rows.Contains(y) && !whole_rows.Contains(y))
            continue;  // nothing to look at: the common case of an unchanged frame
        const std::span<const PixelSpan> spans =
            whole_rows.Contains(y) ? std::span<const PixelSpan>(whole_row) : area.RowSpans(y, width, row_spans);
        const uint8_t* source = frame + size_t(y) * size_t(stride_bytes);
        uint32_t* kept = picture.Row(y);
        const PixelSpan columns = ChangedColumns(source, kept, spans);
        if (columns.first == columns.end)
            continue;
        // Whatever lies between two spans is taken too, so the delta and the copy stay alike.
        streamed |= CopyPixels(kept + columns.first, source + columns.first * kPixelBytes,
                               size_t(columns.end - columns.first));
        if (writer)  // from the caller's row, which the copy has just brought into the cache
            writer->WriteLine(y, reinterpret_cast<const uint32_t*>(source), columns.first, columns.end);
        changed = true;
    }
    if (streamed)
        _mm_sfence();  // the streamed copy is whole before the network side may read it
    if (writer)
        writer->Finish();
    return changed;
}

}  // namespace vantor::ndi
