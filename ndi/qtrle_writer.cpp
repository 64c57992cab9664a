#include "ndi/qtrle_writer.h"

#include "ndi/qtrle_line.h"

#include <algorithm>
#include <cstring>

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
constexpr uint8_t kEndOfLine = 0xFF;

void PutBE16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}

// Most bytes a line can take: skip codes, every pixel literal with its codes, the end.
size_t LineBytesAtMost(int32_t first, int32_t end)
{
    const size_t pixels = size_t(end - first);
    return 2 + 2 * size_t(first / kMaxSkip + 1) + pixels * 4 + pixels / kMaxLiteral + 1;
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
    ChosenLineCoder()(p, row, first, end);
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
