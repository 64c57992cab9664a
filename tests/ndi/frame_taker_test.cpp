#include "ndi/frame_taker.h"
#include "qtrle_reader.h"

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

// Spans long enough to be copied past the cache, starting and ending at every alignment (a row
// of 4099 pixels moves each next row's start by 12 bytes), beside one just too short: the taken
// picture is the frame, pixel for pixel, and the delta turns the picture shown before into it.
TEST(TakingFrames, LongSpansAtEveryAlignmentAreTakenAndSentExactly)
{
    constexpr int32_t kLongWidth = 4099;
    const int32_t spans[][2] = {{0, kLongWidth}, {1, kLongWidth}, {3, 2054}, {2, kLongWidth - 1},
                                {kLongWidth - 2048, kLongWidth}, {5, 2052}};
    const int32_t rows = int32_t(std::size(spans));
    // Runs of three, and every pixel different in the next frame.
    auto pixel = [](int32_t x, int32_t y, uint32_t frame) { return 0x9E3779B9u * uint32_t(x / 3 + 7 * y) + frame * 0x01000193u; };
    std::vector<uint8_t> frame(size_t(kLongWidth) * 4 * size_t(rows));
    auto fill = [&](uint32_t frame_number, bool only_spans) {
        for (int32_t y = 0; y < rows; ++y)
            for (int32_t x = 0; x < kLongWidth; ++x)
                if (!only_spans || (x >= spans[y][0] && x < spans[y][1])) {
                    const uint32_t value = pixel(x, y, frame_number);
                    std::memcpy(&frame[(size_t(y) * kLongWidth + size_t(x)) * 4], &value, 4);
                }
    };
    Picture taken, shown;
    taken.Reset(kLongWidth, rows);
    shown.Reset(kLongWidth, rows);
    ByteBuffer delta;
    fill(0, false);
    ASSERT_TRUE(TakeFrame(frame.data(), kLongWidth * 4, taken, &delta));
    ASSERT_TRUE(DrawQtrleFrame(delta.bytes(), shown));
    fill(1, true);
    delta.Clear();
    ASSERT_TRUE(TakeFrame(frame.data(), kLongWidth * 4, taken, &delta));
    ASSERT_TRUE(DrawQtrleFrame(delta.bytes(), shown));
    for (int32_t y = 0; y < rows; ++y)
        for (int32_t x = 0; x < kLongWidth; ++x) {
            const uint32_t sent = pixel(x, y, x >= spans[y][0] && x < spans[y][1] ? 1 : 0);
            ASSERT_EQ(PixelOf(taken, x, y), sent) << "taken, " << x << "," << y;
            ASSERT_EQ(PixelOf(shown, x, y), sent) << "shown, " << x << "," << y;
        }
}

}  // namespace
}  // namespace vantor::ndi
