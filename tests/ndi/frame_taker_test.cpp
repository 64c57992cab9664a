#include "ndi/frame_taker.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace vantor::ndi {
namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 6;

struct CallerFrame {
    explicit CallerFrame(int32_t stride) : stride_bytes(stride), bytes(size_t(stride) * kHeight, 0) {}
    uint8_t* Pixel(int32_t x, int32_t y) { return &bytes[size_t(y) * stride_bytes + size_t(x) * 4]; }
    int32_t stride_bytes;
    std::vector<uint8_t> bytes;
};

uint32_t PixelOf(const Picture& p, int32_t x, int32_t y)
{
    return p.Row(y)[x];
}

TEST(TakingFrames, RowsFurtherApartThanTheirPixelsAreTakenWithoutTheGaps)
{
    CallerFrame frame(kWidth * 4 + 12);
    for (int32_t y = 0; y < kHeight; ++y) {
        std::memset(frame.Pixel(0, y), 0x20 + y, kWidth * 4);
        std::memset(frame.Pixel(kWidth, y), 0xEE, 12);  // the gap after each row
    }
    Picture taken;
    taken.Reset(kWidth, kHeight);
    ByteBuffer delta;
    ASSERT_TRUE(TakeFrame(frame.bytes.data(), frame.stride_bytes, taken, &delta));
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x)
            ASSERT_EQ(PixelOf(taken, x, y), 0x01010101u * uint32_t(0x20 + y)) << x << "," << y;
}

TEST(TakingFrames, ChangesAtTheEdgesOfARowAndOfTheComparedBlocksAreFound)
{
    CallerFrame frame(kWidth * 4);
    Picture taken;
    taken.Reset(kWidth, kHeight);
    ByteBuffer delta;
    const int32_t places[][2] = {{0, 0}, {kWidth - 1, 1}, {15, 2}, {16, 3}, {kWidth - 17, 4}};
    for (const auto& place : places) {
        std::memset(frame.Pixel(place[0], place[1]), 0x7F, 4);
        ASSERT_TRUE(TakeFrame(frame.bytes.data(), frame.stride_bytes, taken, &delta));
        EXPECT_EQ(PixelOf(taken, place[0], place[1]), 0x7F7F7F7Fu) << place[0] << "," << place[1];
    }
    EXPECT_FALSE(TakeFrame(frame.bytes.data(), frame.stride_bytes, taken, &delta));
}

TEST(TakingFrames, TheDeltaCarriesOnlyTheChangedSpan)
{
    CallerFrame frame(kWidth * 4);
    Picture taken;
    taken.Reset(kWidth, kHeight);
    ByteBuffer delta;
    std::memset(frame.Pixel(1000, 2), 0x55, 10 * 4);
    ASSERT_TRUE(TakeFrame(frame.bytes.data(), frame.stride_bytes, taken, &delta));
    // Chunk head and line range, skip codes to pixel 1000, one run, the line's end and the close.
    EXPECT_LE(delta.size(), 40u);
}

}  // namespace
}  // namespace vantor::ndi
