#include "ndi/qtrle_writer.h"

#include <algorithm>
#include <cstring>

// The kernels are inlined into each build, so no vector crosses a call.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vantor::ndi {
namespace {

// Chunk layout: a 32-bit size, a 16-bit header; header 8 adds the first line and the line count
// (each followed by two unused bytes). A line: a skip byte (pixels to skip + 1), then codes:
// 0 and another skip byte, n > 0 literal pixels, -n a run of one pixel n times, -1 the line's end.
constexpr size_t kChunkHeadBytes = 6;
constexpr size_t kLineRangeBytes = 8;
constexpr uint16_t kHeaderAllLines = 0;
constexpr uint16_t kHeaderLineRange = 8;
constexpr int32_t kMaxSkip = 254;
constexpr int32_t kMaxLiteral = 127;
constexpr int32_t kMaxRun = 128;
constexpr uint8_t kEndOfLine = 0xFF;

void PutBE16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}

void PutBE32(uint8_t* p, uint32_t v)
{
    PutBE16(p, v >> 16);
    PutBE16(p + 2, v);
}

// A BGRA pixel read as a little-endian word is 0xAARRGGBB; the stream wants A, R, G, B.
void PutPixel(uint8_t*& p, uint32_t bgra)
{
    PutBE32(p, bgra);
    p += 4;
}

// Most bytes a line can take: skip codes, every pixel literal with its codes, the end.
size_t LineBytesAtMost(int32_t first, int32_t end)
{
    const size_t pixels = size_t(end - first);
    return 2 + 2 * size_t(first / kMaxSkip + 1) + pixels * 4 + pixels / kMaxLiteral + 1;
}

// Pixels are looked at eight at a time in the compiler's vector types, in a build for AVX2 and
// one for the baseline instruction set, the better chosen at the first call (as the blend
// does): a frame that changes everywhere at 4096 x 2160 is encoded on the send thread within
// its frame's time.
#define VANTOR_INLINE inline __attribute__((always_inline))

using Pixels8 = uint32_t __attribute__((vector_size(32)));
using Mask8 = int32_t __attribute__((vector_size(32)));

VANTOR_INLINE Pixels8 LoadPixels(const uint32_t* at)
{
    Pixels8 v;
    std::memcpy(&v, at, sizeof v);
    return v;
}

VANTOR_INLINE bool AnyLane(Mask8 mask)
{
    uint64_t words[sizeof mask / 8];
    std::memcpy(words, &mask, sizeof mask);
    return (words[0] | words[1] | words[2] | words[3]) != 0;
}

VANTOR_INLINE void PutPixels(uint8_t*& p, const uint32_t* pixels, int32_t count)
{
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const Pixels8 v = LoadPixels(pixels + i);
        const Pixels8 big_endian = (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
        std::memcpy(p + size_t(i) * 4, &big_endian, sizeof big_endian);
    }
    for (; i < count; ++i)
        PutBE32(p + size_t(i) * 4, pixels[i]);
    p += size_t(count) * 4;
}

// Pixels from `from` on, before `end`, equal to the one at `from`.
VANTOR_INLINE int32_t RunLength(const uint32_t* row, int32_t from, int32_t end)
{
    int32_t j = from + 1;
    const Pixels8 first = Pixels8{} + row[from];
    while (j + 8 <= end && !AnyLane(LoadPixels(row + j) != first))
        j += 8;
    while (j < end && row[j] == row[from])
        ++j;
    return j - from;
}

// The first k in [from, last) with row[k] == row[k + 1]; `none` when there is none.
VANTOR_INLINE int32_t FirstPairOfEqual(const uint32_t* row, int32_t from, int32_t last, int32_t none)
{
    int32_t k = from;
    while (k + 8 <= last && !AnyLane(LoadPixels(row + k) == LoadPixels(row + k + 1)))
        k += 8;
    for (; k < last; ++k)
        if (row[k] == row[k + 1])
            return k;
    return none;
}

// Runs of two or more as runs, the rest as literals up to the next pair of equal pixels, where
// a run pays off.
VANTOR_INLINE void WritePixelsWith(uint8_t*& p, const uint32_t* row, int32_t first, int32_t end)
{
    int32_t i = first;
    while (i < end) {
        const int32_t run = RunLength(row, i, std::min(end, i + kMaxRun));
        if (run >= 2) {
            *p++ = uint8_t(256 - run);
            PutPixel(p, row[i]);
            i += run;
            continue;
        }
        const int32_t literal_end = std::min(end, i + kMaxLiteral);
        const int32_t k = FirstPairOfEqual(row, i + 1, std::min(literal_end, end - 1), literal_end);
        *p++ = uint8_t(k - i);
        PutPixels(p, row + i, k - i);
        i = k;
    }
}

#undef VANTOR_INLINE

using PixelWriter = void (*)(uint8_t*& p, const uint32_t* row, int32_t first, int32_t end);

namespace avx2 {
__attribute__((target("avx2"))) void WritePixels(uint8_t*& p, const uint32_t* row, int32_t first, int32_t end)
{
    WritePixelsWith(p, row, first, end);
}
}  // namespace avx2

namespace baseline {
void WritePixels(uint8_t*& p, const uint32_t* row, int32_t first, int32_t end)
{
    WritePixelsWith(p, row, first, end);
}
}  // namespace baseline

PixelWriter ChosenPixelWriter()
{
    static const PixelWriter chosen = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") ? avx2::WritePixels : baseline::WritePixels;
    }();
    return chosen;
}

}  // namespace

QtrleWriter::QtrleWriter(ByteBuffer& out, bool key_frame)
    : out_(out), key_frame_(key_frame), start_(out.size())
{
    const size_t head = kChunkHeadBytes + (key_frame ? 0 : kLineRangeBytes);
    std::memset(out_.Reserve(head), 0, head);
    out_.Commit(head);
}

void QtrleWriter::WriteLine(int32_t y, const uint32_t* row, int32_t first, int32_t end)
{
    if (first_line_ < 0)
        first_line_ = next_line_ = y;
    // Lines between two changed ones: skip nothing, draw nothing.
    for (; next_line_ < y; ++next_line_) {
        uint8_t* p = out_.Reserve(2);
        p[0] = 1;
        p[1] = kEndOfLine;
        out_.Commit(2);
    }
    uint8_t* const start = out_.Reserve(LineBytesAtMost(first, end));
    uint8_t* p = start;
    WriteSkip(p, first);
    ChosenPixelWriter()(p, row, first, end);
    *p++ = kEndOfLine;
    out_.Commit(size_t(p - start));
    next_line_ = y + 1;
}

void QtrleWriter::WriteSkip(uint8_t*& p, int32_t pixels)
{
    int32_t step = std::min(pixels, kMaxSkip);
    *p++ = uint8_t(step + 1);
    for (pixels -= step; pixels > 0; pixels -= step) {
        step = std::min(pixels, kMaxSkip);
        *p++ = 0;
        *p++ = uint8_t(step + 1);
    }
}

void QtrleWriter::Finish()
{
    uint8_t* chunk = out_.data() + start_;
    if (key_frame_) {
        PutBE16(chunk + 4, kHeaderAllLines);
    } else if (first_line_ >= 0) {
        PutBE16(chunk + 4, kHeaderLineRange);
        PutBE16(chunk + 6, uint32_t(first_line_));
        PutBE16(chunk + 10, uint32_t(next_line_ - first_line_));
    } else {
        // Nothing changed: a range of no lines, which decoders show as the same picture again.
        PutBE16(chunk + 4, kHeaderLineRange);
    }
    *out_.Reserve(1) = 0;  // closing code, as QuickTime writes it
    out_.Commit(1);
    PutBE32(chunk, uint32_t(out_.size() - start_));
}

size_t KeyFrameBytesAtMost(int32_t width, int32_t height)
{
    return kChunkHeadBytes + size_t(height) * LineBytesAtMost(0, width) + 1;
}

void WriteKeyFrame(const Picture& picture, ByteBuffer& out)
{
    QtrleWriter writer(out, true);
    for (int32_t y = 0; y < picture.height(); ++y)
        writer.WriteLine(y, picture.Row(y), 0, picture.width());
    writer.Finish();
}

}  // namespace vantor::ndi
