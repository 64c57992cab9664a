#include "preview/preview_buffer.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantor {
namespace {

// A BGRA frame whose pixel (x, y) holds x and y in its first four bytes: blue/green the low and
// high byte of x, red/alpha those of y.
std::vector<uint8_t> CoordinateFrame(int32_t w, int32_t h, int32_t stride)
{
    std::vector<uint8_t> frame(size_t(stride) * h, 0xAB);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = frame.data() + size_t(y) * stride + size_t(x) * 4;
            p[0] = uint8_t(x), p[1] = uint8_t(x >> 8), p[2] = uint8_t(y), p[3] = uint8_t(y >> 8);
        }
    return frame;
}

PreviewPicture Convert(PreviewBuffer& buffer, const std::vector<uint8_t>& frame, int32_t w, int32_t h,
                       int32_t stride)
{
    buffer.ConvertFrame(frame.data(), w, h, stride, 0x41524742, 16.0f / 9.0f);
    buffer.HandOver();
    return buffer.TakeLatest();
}

// Every preview pixel (x, y) came from source pixel (x * step, y * step).
void ExpectSampled(const PreviewPicture& picture, int step)
{
    const int32_t w = picture.header.width, h = -picture.header.height;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t* p = picture.pixels + (size_t(y) * w + x) * 4;
            ASSERT_EQ(p[0] | p[1] << 8, x * step) << x << "," << y;
            ASSERT_EQ(p[2] | p[3] << 8, y * step) << x << "," << y;
        }
}

TEST(PreviewConversion, EveryOutputSizeGivesItsPreviewSize)
{
    const struct {
        int32_t w, h, pw, ph;
    } sizes[] = {{4096, 2160, 2048, 1080}, {3840, 2160, 1920, 1080}, {2560, 1440, 1280, 720},
                 {1920, 1080, 960, 540},   {1280, 720, 640, 360},    {960, 540, 480, 270},
                 {720, 576, 360, 288},     {720, 480, 360, 240},     {640, 360, 640, 360}};
    PreviewBuffer buffer;
    ASSERT_TRUE(buffer.PreparePreview());
    for (const auto& s : sizes) {
        const auto frame = CoordinateFrame(s.w, s.h, s.w * 4);
        const PreviewPicture picture = Convert(buffer, frame, s.w, s.h, s.w * 4);
        ASSERT_NE(picture.pixels, nullptr);
        EXPECT_EQ(picture.header.width, s.pw) << s.w;
        EXPECT_EQ(picture.header.height, -s.ph) << s.w;
        EXPECT_EQ(picture.header.bits_per_pixel, 32);
        ExpectSampled(picture, s.w > 640 ? 2 : 1);
    }
}

TEST(PreviewConversion, HalvingSkipsTheLastOddColumnAndRowAndHonoursTheStride)
{
    PreviewBuffer buffer;
    ASSERT_TRUE(buffer.PreparePreview());
    const auto frame = CoordinateFrame(641, 11, 641 * 4 + 12);
    const PreviewPicture picture = Convert(buffer, frame, 641, 11, 641 * 4 + 12);
    EXPECT_EQ(picture.header.width, 320);
    EXPECT_EQ(picture.header.height, -5);
    ExpectSampled(picture, 2);
}

TEST(PreviewConversion, TransparentFrameShowsBlack)
{
    PreviewBuffer buffer;
    ASSERT_TRUE(buffer.PreparePreview());
    const std::vector<uint8_t> frame(1280 * 720 * 4, 0);
    const PreviewPicture picture = Convert(buffer, frame, 1280, 720, 1280 * 4);
    for (size_t i = 0; i < 640 * 360 * 4; ++i)
        ASSERT_EQ(picture.pixels[i], 0);
}

TEST(PreviewConversion, NothingHappensBeforePreparationOrForImpossibleFrames)
{
    PreviewBuffer unprepared;
    const auto frame = CoordinateFrame(64, 36, 64 * 4);
    EXPECT_EQ(Convert(unprepared, frame, 64, 36, 64 * 4).pixels, nullptr);

    PreviewBuffer buffer;
    ASSERT_TRUE(buffer.PreparePreview());
    EXPECT_EQ(Convert(buffer, frame, 64, 36, 64 * 4).header.width, 64);
    // Too narrow a stride, no data, or a picture larger than any output: the shown picture stays.
    buffer.ConvertFrame(frame.data(), 64, 36, 100, 0, 1.0f);
    buffer.ConvertFrame(nullptr, 64, 36, 256, 0, 1.0f);
    buffer.ConvertFrame(frame.data(), 600, 100000, 2400, 0, 1.0f);
    const PreviewPicture same = buffer.TakeLatest();
    EXPECT_EQ(same.header.width, 64);
    EXPECT_EQ(same.header.height, -36);
    ExpectSampled(same, 1);
}

TEST(PreviewHandOver, PainterSeesOnlyWholeHandedOverPictures)
{
    PreviewBuffer buffer;
    ASSERT_TRUE(buffer.PreparePreview());
    EXPECT_EQ(buffer.TakeLatest().pixels, nullptr);  // nothing handed over yet

    const auto small = CoordinateFrame(32, 18, 32 * 4);
    const PreviewPicture first = Convert(buffer, small, 32, 18, 32 * 4);
    ASSERT_NE(first.pixels, nullptr);

    // A conversion that is not yet handed over leaves the painted picture alone.
    const std::vector<uint8_t> black(48 * 27 * 4, 0);
    buffer.ConvertFrame(black.data(), 48, 27, 48 * 4, 0, 1.0f);
    const PreviewPicture still = buffer.TakeLatest();
    EXPECT_EQ(still.pixels, first.pixels);
    EXPECT_EQ(still.header.width, 32);
    ExpectSampled(still, 1);

    buffer.HandOver();
    const PreviewPicture next = buffer.TakeLatest();
    EXPECT_EQ(next.header.width, 48);
    EXPECT_NE(next.pixels, first.pixels);

    // Several hand-overs between two paints: the painter gets the newest.
    for (int32_t w : {16, 24, 40}) {
        const auto f = CoordinateFrame(w, 9, w * 4);
        buffer.ConvertFrame(f.data(), w, 9, w * 4, 0, 1.0f);
        buffer.HandOver();
    }
    const PreviewPicture newest = buffer.TakeLatest();
    EXPECT_EQ(newest.header.width, 40);
    ExpectSampled(newest, 1);
}

}  // namespace
}  // namespace vantor
