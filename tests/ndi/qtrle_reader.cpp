#include "qtrle_reader.h"

#include <algorithm>
#include <cstring>

namespace vantor::ndi {
namespace {

// Reads big-endian values; once past the end it reads zeros and stays not ok.
class Cursor {
public:
    explicit Cursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    bool ok() const { return ok_; }
    size_t left() const { return bytes_.size() - pos_; }
    uint32_t Byte() { return Next(); }
    uint32_t BE16() { return Next() << 8 | Next(); }
    uint32_t BE32() { return BE16() << 16 | BE16(); }
    // The next `count` bytes at once; empty, and not ok, when fewer are left.
    std::span<const uint8_t> Take(size_t count)
    {
        if (count > left()) {
            ok_ = false;
            return {};
        }
        pos_ += count;
        return bytes_.subspan(pos_ - count, count);
    }

private:
    uint32_t Next()
    {
        if (pos_ >= bytes_.size()) {
            ok_ = false;
            return 0;
        }
        return bytes_[pos_++];
    }
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// Literal pixels, A, R, G, B each, as the picture's words (0xAARRGGBB, so B, G, R, A in memory):
// one byte swap a pixel, which the compiler does a vector at a time. At 4096 x 2160 a frame that
// changes everywhere is 35 MB of them.
void ReadPixels(const uint8_t* bytes, uint32_t* row, int64_t count)
{
    for (int64_t i = 0; i < count; ++i) {
        uint32_t argb;
        std::memcpy(&argb, bytes + i * 4, 4);
        row[i] = __builtin_bswap32(argb);
    }
}

bool DrawLine(Cursor& in, uint32_t* row, int64_t width)
{
    int64_t x = int64_t(in.Byte()) - 1;
    for (;;) {
        const auto code = int8_t(in.Byte());
        if (!in.ok())
            return false;
        if (code == -1)
            return true;
        if (code == 0) {
            x += int64_t(in.Byte()) - 1;
            continue;
        }
        const int64_t count = code < 0 ? -code : code;
        if (x < 0 || x + count > width)
            return false;
        if (code < 0) {
            std::fill_n(row + x, count, in.BE32());
            x += count;
        } else {
            const std::span<const uint8_t> pixels = in.Take(size_t(count) * 4);
            if (pixels.empty())
                return false;
            ReadPixels(pixels.data(), row + x, count);
            x += count;
        }
    }
}

}  // namespace

bool DrawQtrleFrame(std::span<const uint8_t> frame, Picture& picture)
{
    constexpr size_t kSmallestChange = 8;  // shorter chunks change nothing
    if (frame.size() < kSmallestChange)
        return true;
    Cursor in(frame);
    in.BE32();  // chunk size
    int64_t first_line = 0;
    int64_t line_count = picture.height();
    if (in.BE16() & 8) {
        first_line = in.BE16();
        in.BE16();
        line_count = in.BE16();
        in.BE16();
    }
    if (!in.ok() || first_line + line_count > picture.height())
        return false;
    for (int64_t y = first_line; y < first_line + line_count; ++y)
        if (!DrawLine(in, picture.Row(int32_t(y)), picture.width()))
            return false;
    return in.left() <= 1;  // the closing code; more means lines the picture does not have
}

}  // namespace vantor::ndi
