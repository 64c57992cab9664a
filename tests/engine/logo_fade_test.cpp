// The fade's weights frame by frame: on, off, a new picture, and a fade begun inside another.

#include "engine/logo_fade.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantor {
namespace {

// The shown picture's weights over `frames` steps towards `visible`.
std::vector<int> ShownWeights(LogoFade& fade, bool visible, int frames, int fade_frames, int opacity = 100)
{
    std::vector<int> weights;
    for (int i = 0; i < frames; ++i) {
        fade.Step(visible, 0, fade_frames);
        weights.push_back(fade.Weights(opacity).shown);
    }
    return weights;
}

TEST(LogoFade, OnAndOffMoveByEqualStepsToTheOpacityAndBack)
{
    LogoFade fade;
    fade.Settle(false, 0);
    EXPECT_EQ(ShownWeights(fade, true, 6, 5, 60), (std::vector<int>{31, 61, 92, 122, 153, 153}));
    EXPECT_FALSE(fade.running());
    EXPECT_EQ(ShownWeights(fade, false, 6, 5, 60), (std::vector<int>{122, 92, 61, 31, 0, 0}));
}

TEST(LogoFade, WithoutAFadeOnAndOffCut)
{
    LogoFade fade;
    fade.Settle(false, 0);
    EXPECT_EQ(ShownWeights(fade, true, 2, 0), (std::vector<int>{255, 255}));
    EXPECT_EQ(ShownWeights(fade, false, 2, 0), (std::vector<int>{0, 0}));
}

TEST(LogoFade, AFadeBegunInsideAnotherStartsWhereThatOneIs)
{
    LogoFade fade;
    fade.Settle(false, 0);
    EXPECT_EQ(ShownWeights(fade, true, 2, 4), (std::vector<int>{64, 128}));
    EXPECT_TRUE(fade.running());
    EXPECT_EQ(ShownWeights(fade, false, 3, 4), (std::vector<int>{64, 0, 0}));
}

TEST(LogoFade, ANewPictureCrossFadesWithComplementaryWeightsAndANewOneInsideStartsFromWhereItIs)
{
    LogoFade fade;
    fade.Settle(true, 0);
    std::vector<LogoWeights> seen;
    for (int i = 0; i < 5; ++i) {
        fade.Step(true, 1, 4);
        seen.push_back(fade.Weights(100));
    }
    const std::vector<LogoWeights> expected = {{64, 191}, {128, 128}, {191, 64}, {255, 0}, {255, 0}};
    EXPECT_EQ(seen, expected);

    fade.Step(true, 2, 4);  // another, then a third half-way through: the second leaves from 128
    fade.Step(true, 2, 4);
    fade.Step(true, 3, 4);
    EXPECT_EQ(fade.Weights(100), (LogoWeights{64, 96}));
    fade.Settle(true, 3);
    EXPECT_EQ(fade.Weights(100), (LogoWeights{255, 0})) << "a start settles without a fade";
}

TEST(LogoFade, AFadesFramesAreItsTimeAtTheRateRounded)
{
    EXPECT_EQ(FadeFrames(1000, 25, 1), 25);
    EXPECT_EQ(FadeFrames(500, 60000, 1001), 30);
    EXPECT_EQ(FadeFrames(0, 25, 1), 0);
    EXPECT_EQ(FadeFrames(500, 0, 0), 0);
}

}  // namespace
}  // namespace vantor
