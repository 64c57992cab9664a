#include "imagery/picture_scale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace vantor {
namespace {

RgbaImage Picture(int32_t w, int32_t h)
{
    RgbaImage image;
    EXPECT_TRUE(image.FillSolid(w, h, 0, 0, 0));
    image.Fill(0, 0, 0, 0);  // transparent black
    return image;
}

void SetPixel(RgbaImage& image, int32_t x, int32_t y, const uint8_t (&bgra)[4])
{
    std::copy(bgra, bgra + 4, image.pixels.get() + (size_t(y) * image.width + x) * 4);
}

struct SizeCase {
    int32_t w, h, scale, output_height;
    PixelSize want;
};

TEST(PictureScale, SizesFollowThePercentageOrTheFormatsHeightRoundedToNearest)
{
    const SizeCase cases[] = {
        {216, 108, kScaleFit, 360, {72, 36}},    {216, 108, kScaleFit, 2160, {432, 216}},
        {64, 36, kScaleFit, 1080, {64, 36}},     {100, 50, 50, 2160, {50, 25}},
        {3, 1, 50, 1080, {2, 1}},                {1, 1, 1, 1080, {1, 1}},
        {100, 10, kMaxScalePercent, 720, {400, 40}}, {200, 101, kScaleFit, 720, {133, 67}},
    };
    for (const SizeCase& c : cases)
        EXPECT_EQ(ScaledSize(c.w, c.h, c.scale, c.output_height), c.want)
            << c.w << "x" << c.h << " at " << c.scale << " for " << c.output_height << " lines";
}

// A coloured left half beside a transparent black right half, scaled down and up: wherever the
// result shows at all, it shows the left half's colour. Filtering straight alpha would mix in
// the transparent pixels' black and darken the edge.
struct EdgeCase {
    uint8_t alpha;
    PixelSize to;
};

TEST(PictureScale, AHalfTransparentEdgeKeepsItsColourAtEverySize)
{
    const uint8_t colour[4] = {50, 100, 200, 0};
    const EdgeCase cases[] = {{255, {5, 2}}, {128, {3, 2}}, {128, {16, 8}}, {255, {11, 5}}, {192, {3, 1}}};
    for (const EdgeCase& c : cases) {
        RgbaImage source = Picture(8, 4);
        for (int32_t y = 0; y < 4; ++y)
            for (int32_t x = 0; x < 4; ++x)
                SetPixel(source, x, y, {colour[0], colour[1], colour[2], c.alpha});
        RgbaImage scaled;
        ASSERT_TRUE(ScalePicture(source, c.to, scaled));
        ASSERT_EQ(scaled.width, c.to.width);
        ASSERT_EQ(scaled.height, c.to.height);
        int32_t partly_clear = 0;
        for (int32_t i = 0; i < scaled.width * scaled.height; ++i) {
            const uint8_t* p = scaled.pixels.get() + size_t(i) * 4;
            if (p[3] == 0)
                continue;
            partly_clear += p[3] < c.alpha;
            // Premultiplied in 8 bits, a faint pixel keeps its colour to about 255 / alpha.
            const int tolerance = 1 + 255 / p[3];
            for (int channel = 0; channel < 3; ++channel)
                EXPECT_LE(std::abs(p[channel] - colour[channel]), tolerance)
                    << "pixel " << i << " channel " << channel << " at alpha " << int(p[3]) << " to "
                    << c.to.width << "x" << c.to.height;
        }
        EXPECT_GT(partly_clear, 0) << "no pixel mixes the edge: the case tests nothing";
    }
}

// Every node gets its copy at the new size, the same pictures are counted as rescaled (not
// replaced, so no cross-fade), and back at 100 % no copy is kept. A new picture replaces the
// scaled one too; the one that showed (scaled) is the one a cross-fade leaves from.
TEST(FrameListScale, RescalingCopiesEveryFrameNoneAtFullSizeAndAReplacedPictureLeavesAsItShowed)
{
    FrameList frames;
    frames.first.image = Picture(40, 20);
    auto second = std::make_unique<SequenceFrame>();
    second->image = Picture(20, 10);
    AppendFrame(frames, std::move(second));
    const uint32_t changes = frames.picture_changes;

    RescaleFrames(frames, kScaleFit, 540);
    EXPECT_EQ(frames.first.shown().width, 20);
    EXPECT_EQ(frames.first.next->shown().height, 5);
    EXPECT_EQ(frames.scale_changes, 1u);
    EXPECT_EQ(frames.picture_changes, changes);

    RgbaImage next = Picture(10, 10);
    RgbaImage next_scaled = ScaledForList(frames, next);
    ReplaceFirstPicture(frames, next, next_scaled, true);
    EXPECT_EQ(frames.leaving.width, 20);
    EXPECT_EQ(frames.first.shown().width, 5);

    RescaleFrames(frames, 100, 540);
    EXPECT_FALSE(frames.first.scaled.pixels);
    EXPECT_FALSE(frames.first.next->scaled.pixels);
    EXPECT_EQ(&frames.first.shown(), &frames.first.image);
}

}  // namespace
}  // namespace vantor
