#include "imagery/rgba_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <vector>

namespace vantor {
namespace {

// A picture whose pixel (x, y) is (x, y, 7, 200): every copied pixel tells where it came from.
RgbaImage PositionPicture(int32_t w, int32_t h)
{
    RgbaImage image;
    EXPECT_TRUE(image.FillSolid(w, h, 0, 0, 0));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = image.pixels.get() + (y * w + x) * 4;
            p[0] = static_cast<uint8_t>(x);
            p[1] = static_cast<uint8_t>(y);
            p[2] = 7;
            p[3] = 200;
        }
    return image;
}

struct Frame {
    Frame(int32_t w, int32_t h, uint8_t fill = 0xEE) : width(w), height(h), bytes(size_t(w) * h * 4, fill) {}
    uint8_t* px(int32_t x, int32_t y) { return bytes.data() + (size_t(y) * width + x) * 4; }
    int32_t width, height;
    std::vector<uint8_t> bytes;
};

struct Rect {
    int32_t left, top, right, bottom;  // inclusive
};

// Every frame pixel inside the rectangle holds the picture's pixel at (x - dx, y - dy); every
// pixel outside still holds the fill.
void ExpectCopied(Frame& frame, Rect r, int32_t dx, int32_t dy)
{
    for (int32_t y = 0; y < frame.height; ++y)
        for (int32_t x = 0; x < frame.width; ++x) {
            const uint8_t* p = frame.px(x, y);
            const bool inside = x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
            if (inside) {
                ASSERT_EQ(p[0], uint8_t(x - dx)) << x << "," << y;
                ASSERT_EQ(p[1], uint8_t(y - dy)) << x << "," << y;
                ASSERT_EQ(p[2], 7);
                ASSERT_EQ(p[3], 200);
            } else {
                ASSERT_EQ(p[0], 0xEE) << "written outside at " << x << "," << y;
                ASSERT_EQ(p[3], 0xEE) << "written outside at " << x << "," << y;
            }
        }
}

void ExpectUntouched(const Frame& frame)
{
    for (uint8_t b : frame.bytes)
        ASSERT_EQ(b, 0xEE);
}

TEST(CompositePlacement, EachCornerMeasuresTheOffsetsFromItsOwnEdges)
{
    const RgbaImage logo = PositionPicture(48, 18);
    {
        Frame f(128, 72);
        logo.Composite(0, 0, kCornerUpperLeft, kCompositeCopy, f.bytes.data(), 128, 72);
        ExpectCopied(f, {0, 0, 47, 17}, 0, 0);
    }
    {
        Frame f(128, 72);
        logo.Composite(20, 6, kCornerUpperRight, kCompositeCopy, f.bytes.data(), 128, 72);
        ExpectCopied(f, {60, 6, 107, 23}, 60, 6);
    }
    {
        Frame f(128, 72);
        logo.Composite(5, 3, kCornerLowerLeft, kCompositeCopy, f.bytes.data(), 128, 72);
        ExpectCopied(f, {5, 51, 52, 68}, 5, 51);
    }
    {
        Frame f(128, 72);
        logo.Composite(0, 0, kCornerLowerRight, kCompositeCopy, f.bytes.data(), 128, 72);
        ExpectCopied(f, {80, 54, 127, 71}, 80, 54);
    }
}

TEST(CompositePlacement, LowerRightOfA480x184PictureOn720pCoversTheLastColumnsAndRows)
{
    const RgbaImage logo = PositionPicture(480, 184);
    Frame f(1280, 720);
    logo.Composite(0, 0, kCornerLowerRight, kCompositeCopy, f.bytes.data(), 1280, 720);
    ExpectCopied(f, {800, 536, 1279, 719}, 800, 536);
}

TEST(CompositePlacement, CentreTruncatesOddAndNegativeDifferencesTowardZero)
{
    {
        const RgbaImage logo = PositionPicture(481, 3);
        Frame f(1280, 9);
        logo.Composite(999, 999, kCornerCentre, kCompositeCopy, f.bytes.data(), 1280, 9);
        ExpectCopied(f, {399, 3, 879, 5}, 399, 3);  // (1280 - 481) / 2 = 399
    }
    {
        const RgbaImage logo = PositionPicture(1921, 4);
        Frame f(1280, 2);
        logo.Composite(0, 0, kCornerCentre, kCompositeCopy, f.bytes.data(), 1280, 2);
        // px = (1280 - 1921) / 2 = -320, py = (2 - 4) / 2 = -1: columns 320..1599, row 1..2.
        ExpectCopied(f, {0, 0, 1279, 1}, -320, -1);
    }
}

TEST(CompositeClipping, CutsThePictureAtEverySide)
{
    const RgbaImage logo = PositionPicture(30, 20);
    {
        Frame f(100, 50);  // off the left and top
        logo.Composite(-10, -5, kCornerUpperLeft, kCompositeCopy, f.bytes.data(), 100, 50);
        ExpectCopied(f, {0, 0, 19, 14}, -10, -5);
    }
    {
        Frame f(100, 50);  // off the right and bottom
        logo.Composite(85, 40, kCornerUpperLeft, kCompositeCopy, f.bytes.data(), 100, 50);
        ExpectCopied(f, {85, 40, 99, 49}, 85, 40);
    }
    {
        Frame f(20, 10);  // larger than the frame on both axes, right edges meet at corner 7
        logo.Composite(0, 0, kCornerUpperRight, kCompositeCopy, f.bytes.data(), 20, 10);
        ExpectCopied(f, {0, 0, 19, 9}, -10, 0);
    }
}

TEST(CompositeClipping, WhollyOutsideWritesNothingEvenAtExtremeOffsets)
{
    const RgbaImage logo = PositionPicture(30, 20);
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    const struct {
        int32_t x, y, corner;
    } cases[] = {
        {100, 0, kCornerUpperLeft},   {0, 50, kCornerUpperLeft},  {100, 0, kCornerUpperRight},
        {kMax, kMax, kCornerUpperLeft}, {kMax, kMax, kCornerUpperRight},
        {kMax, kMax, kCornerLowerRight}, {kMax, 0, kCornerLowerLeft},
        {kMin, kMin, kCornerUpperLeft}, {kMin, kMin, kCornerLowerRight},
        {-30, 0, kCornerUpperLeft},
    };
    for (const auto& c : cases) {
        Frame f(100, 50);
        logo.Composite(c.x, c.y, c.corner, kCompositeCopy, f.bytes.data(), 100, 50);
        ExpectUntouched(f);
        logo.Composite(c.x, c.y, c.corner, kCompositeBlend, f.bytes.data(), 100, 50);
        ExpectUntouched(f);
    }
}

// The bounding box of the pixels a composite changed (a picture pixel's red byte is 7, never
// the fill), or nothing when it changed none.
std::optional<PixelRect> WrittenRect(Frame& f)
{
    int32_t left = f.width, top = f.height, right = -1, bottom = -1;
    for (int32_t y = 0; y < f.height; ++y)
        for (int32_t x = 0; x < f.width; ++x)
            if (f.px(x, y)[2] == 7) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    if (right < 0)
        return std::nullopt;
    return PixelRect{left, top, right - left + 1, bottom - top + 1};
}

TEST(CompositePlacedRect, NamesExactlyThePixelsCompositeWrites)
{
    const RgbaImage logo = PositionPicture(30, 20);
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    const struct {
        int32_t x, y, corner;
    } cases[] = {
        {-10, -5, kCornerUpperLeft}, {85, 40, kCornerUpperLeft},  {20, 6, kCornerUpperRight},
        {0, 0, kCornerLowerRight},   {7, 7, kCornerCentre},       {-25, 3, kCornerLowerLeft},
        {100, 0, kCornerUpperLeft},  {kMax, 0, kCornerUpperRight}, {0, kMax, kCornerLowerLeft},
    };
    for (const auto& c : cases) {
        Frame f(100, 50);
        logo.Composite(c.x, c.y, c.corner, kCompositeCopy, f.bytes.data(), 100, 50);
        EXPECT_EQ(logo.PlacedRect(c.x, c.y, c.corner, 100, 50), WrittenRect(f)) << c.x << "," << c.y;
    }
    RgbaImage empty;
    EXPECT_FALSE(empty.PlacedRect(0, 0, kCornerUpperLeft, 100, 50).has_value());
}

TEST(CompositeModes, CopyReplacesAllFourBytesIncludingAlpha)
{
    RgbaImage pixel;
    ASSERT_TRUE(pixel.FillSolid(1, 1, 30, 20, 10));
    pixel.pixels[3] = 0;
    uint8_t frame[4] = {1, 2, 3, 4};
    pixel.Composite(0, 0, kCornerUpperLeft, kCompositeCopy, frame, 1, 1);
    EXPECT_EQ(frame[0], 10);
    EXPECT_EQ(frame[1], 20);
    EXPECT_EQ(frame[2], 30);
    EXPECT_EQ(frame[3], 0);
}

// Blends one source pixel (b, g, r, a) over one frame pixel with mode m.
std::array<uint8_t, 4> Blend(std::array<uint8_t, 4> src, std::array<uint8_t, 4> dst, int32_t mode = kCompositeBlend)
{
    RgbaImage pixel;
    EXPECT_TRUE(pixel.FillSolid(1, 1, 0, 0, 0));
    std::copy(src.begin(), src.end(), pixel.pixels.get());
    pixel.Composite(0, 0, kCornerUpperLeft, mode, dst.data(), 1, 1);
    return dst;
}

TEST(CompositeModes, BlendUsesTruncatingIntegerFormulas)
{
    using P = std::array<uint8_t, 4>;
    EXPECT_EQ(Blend({200, 100, 50, 128}, {0, 0, 0, 255}), (P{100, 50, 25, 255}));
    EXPECT_EQ(Blend({9, 9, 9, 0}, {11, 22, 33, 77}), (P{11, 22, 33, 77}));  // A = 0: unchanged
    EXPECT_EQ(Blend({9, 8, 7, 255}, {11, 22, 33, 0}), (P{9, 8, 7, 255}));  // A = 255: the source
    // (255*100 + 0*155)/255 = 100 ; alpha 255 - (155*(255-10))/255 = 255 - 148 = 107
    EXPECT_EQ(Blend({255, 0, 128, 100}, {0, 255, 128, 10}), (P{100, 155, 128, 107}));
    // Any mode but 2 blends; 0 and -1 included.
    EXPECT_EQ(Blend({200, 100, 50, 128}, {0, 0, 0, 255}, 0), (P{100, 50, 25, 255}));
    EXPECT_EQ(Blend({200, 100, 50, 128}, {0, 0, 0, 255}, -1), (P{100, 50, 25, 255}));
}

TEST(CompositeGuards, PicturesNotReadyOrNot32BitLeaveTheFrameUntouched)
{
    Frame f(16, 16);
    RgbaImage not_ready = PositionPicture(4, 4);
    not_ready.ready = false;
    not_ready.Composite(0, 0, kCornerUpperLeft, kCompositeCopy, f.bytes.data(), 16, 16);
    RgbaImage not_32_bit = PositionPicture(4, 4);
    not_32_bit.bits_per_pixel = 24;
    not_32_bit.Composite(0, 0, kCornerUpperLeft, kCompositeBlend, f.bytes.data(), 16, 16);
    RgbaImage empty;
    empty.Composite(0, 0, kCornerUpperLeft, kCompositeCopy, f.bytes.data(), 16, 16);
    const RgbaImage good = PositionPicture(4, 4);
    good.Composite(0, 0, kCornerUpperLeft, kCompositeCopy, nullptr, 16, 16);
    good.Composite(0, 0, kCornerUpperLeft, kCompositeCopy, f.bytes.data(), 0, 16);
    ExpectUntouched(f);
}

}  // namespace
}  // namespace vantor
