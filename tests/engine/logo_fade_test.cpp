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

// Each case from a logo off: steps towards on or off, each with the weights it must give.
TEST(LogoFade, OnAndOffMoveByEqualStepsToTheOpacityCutWithoutAFadeAndTurnWhereTheyAre)
{
    struct Steps {
        bool visible;
        std::vector<int> weights;
    };
    const struct {
        const char* name;
        int fade_frames, opacity;
        std::vector<Steps> steps;
    } cases[] = {
        {"on then off at 60 %", 5, 60, {{true, {31, 61, 92, 122, 153, 153}}, {false, {122, 92, 61, 31, 0, 0}}}},
        {"a cut", 0, 100, {{true, {255, 255}}, {false, {0, 0}}}},
        {"off begun half-way on", 4, 100, {{true, {64, 128}}, {false, {64, 0, 0}}}},
    };
    for (const auto& c : cases) {
        LogoFade fade;
        fade.Settle(false, 0);
        for (const Steps& steps : c.steps)
            EXPECT_EQ(ShownWeights(fade, steps.visible, int(steps.weights.size()), c.fade_frames, c.opacity),
                      steps.weights)
                << c.name;
        EXPECT_FALSE(fade.running()) << c.name;
    }
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
