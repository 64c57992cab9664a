#include "imagery/thumbnail.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

TEST(ThumbnailPlacement, WidePicturesFillTheWidthAndNarrowOnesTheHeight)
{
    // 1920/1080 in single precision is just above 16/9: the width is filled.
    EXPECT_EQ(PlaceThumbnail(1920, 1080, 200, 120), (ThumbnailRect{0, 4, 200, 112}));
    EXPECT_EQ(PlaceThumbnail(640, 480, 200, 120), (ThumbnailRect{20, 0, 160, 120}));
    EXPECT_EQ(PlaceThumbnail(4000, 1000, 200, 120), (ThumbnailRect{0, 35, 200, 50}));
}

TEST(ThumbnailPlacement, ANearly16By9PictureOverhangsASquarishControl)
{
    // 1700 x 1000: a = 1.7 < 16/9, height filled: 120 * 1.7 = 204 wide in a 200-wide control.
    EXPECT_EQ(PlaceThumbnail(1700, 1000, 200, 120), (ThumbnailRect{-2, 0, 204, 120}));
    // 1710 x 1000: 205 wide, the odd overhang's half rounded down.
    EXPECT_EQ(PlaceThumbnail(1710, 1000, 200, 120), (ThumbnailRect{-3, 0, 205, 120}));
}

TEST(ThumbnailPlacement, APictureWithoutSizeIsNotPlaced)
{
    EXPECT_FALSE(PlaceThumbnail(100, 0, 200, 120).has_value());
    EXPECT_FALSE(PlaceThumbnail(0, 100, 200, 120).has_value());
}

}  // namespace
}  // namespace vantor
