#include "engine/playback_state.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <string>

namespace vantor {
namespace {

constexpr int32_t kRateN30000 = 30000;
constexpr int32_t kRateD25p = 1200;
constexpr int32_t kRateD2997p = 1001;

// A list of frames numbered 1 to `count`, on air, with the stepper at its first frame.
class Stepper : public ::testing::Test {
protected:
    void MakeList(int count)
    {
        overlay_.frames.first.number = 1;
        for (int n = 2; n <= count; ++n) {
            auto frame = std::make_unique<SequenceFrame>();
            frame->number = n;
            AppendFrame(overlay_.frames, std::move(frame));
        }
        overlay_.overlay_on = 1;
        playback_.is_sequence = count > 1;
        playback_.current = &overlay_.frames.first;
    }

    void SetUp() override { MakeList(4); }

    void PauseFrames(int32_t frames) { playback_.SetPause(frames, kPauseInFrames, kRateN30000, kRateD25p); }

    // One token per tick: the number of the frame drawn, or "-" for a held frame; a "*" marks
    // a tick that reported a pass ended with Go armed.
    std::string Run(int ticks)
    {
        std::string out;
        for (int i = 0; i < ticks; ++i) {
            std::lock_guard lock(overlay_.frames.guard);
            const TickResult r = playback_.Tick(overlay_);
            if (!out.empty())
                out += ' ';
            out += r.draw ? std::to_string(r.node->number) : std::string("-");
            if (r.go_pass_ended)
                out += '*';
            EXPECT_EQ(r.draw, r.node != nullptr);
        }
        return out;
    }

    static std::string Holds(int ticks)
    {
        std::string out(2 * ticks - 1, ' ');
        for (int i = 0; i < ticks; ++i)
            out[2 * i] = '-';
        return out;
    }

    OverlayState overlay_;
    PlaybackState playback_;
};

class TwoFrameStepper : public Stepper {
protected:
    void SetUp() override { MakeList(2); }
};

TEST(PlaybackStartUp, StartsForwardWithoutPauseGoOrFrame)
{
    const PlaybackState playback;
    EXPECT_EQ(playback.play_mode, kPlayForward);
    EXPECT_TRUE(playback.forward);
    EXPECT_FALSE(playback.one_shot);
    EXPECT_EQ(playback.pause_unit, kPauseInSeconds);
    EXPECT_EQ(playback.pause_value, 0);
    EXPECT_EQ(playback.pause_frames, 0);
    EXPECT_EQ(playback.pause_countdown, 0);
    EXPECT_FALSE(playback.go);
    EXPECT_EQ(playback.current, nullptr);
    EXPECT_FALSE(playback.is_sequence);
}

TEST(PlayModeSetting, EachModeIsNamedAndOnlyWiperBladeModeResetsTheDirection)
{
    PlaybackState playback;
    playback.forward = false;
    EXPECT_STREQ(playback.SetPlayMode(kPlayForward), "Normal play");
    EXPECT_STREQ(playback.SetPlayMode(kPlayReverse), "Reverse play");
    EXPECT_STREQ(playback.SetPlayMode(kPlayOscillate2), "Split Normal/Reverse");
    EXPECT_FALSE(playback.forward);
    EXPECT_EQ(playback.play_mode, kPlayOscillate2);
    EXPECT_STREQ(playback.SetPlayMode(kPlayOscillate1), "Wiper-blade mode");
    EXPECT_TRUE(playback.forward);
    EXPECT_STREQ(playback.SetPlayMode(4), "Play mode");
    EXPECT_STREQ(playback.SetPlayMode(-1), "Play mode");
    EXPECT_EQ(playback.play_mode, -1);
}

TEST(PauseLength, SecondsBecomeWholeFramesAtEachRate)
{
    PlaybackState playback;
    const struct { int32_t n, d, frames; } rates[] = {
        {30000, 1200, 25}, {30000, 1001, 29}, {30000, 1000, 30}, {60000, 1200, 50}, {60000, 1000, 60}};
    for (const auto& rate : rates) {
        playback.SetPause(1, kPauseInSeconds, rate.n, rate.d);
        EXPECT_EQ(playback.pause_frames, rate.frames) << rate.n << "/" << rate.d;
    }
    playback.SetPause(99, kPauseInSeconds, kRateN30000, kRateD2997p);
    EXPECT_EQ(playback.pause_frames, 2967);
    EXPECT_EQ(playback.pause_value, 99);
    EXPECT_EQ(playback.pause_unit, kPauseInSeconds);
    playback.SetPause(std::numeric_limits<int32_t>::max(), kPauseInSeconds, 60000, 1000);
    EXPECT_EQ(playback.pause_frames, std::numeric_limits<int32_t>::max()) << "held at the longest count";
    playback.SetPause(99, kPauseInFrames, kRateN30000, kRateD2997p);
    EXPECT_EQ(playback.pause_frames, 99);
    EXPECT_EQ(playback.pause_unit, kPauseInFrames);
}

TEST_F(Stepper, ForwardPlaysThePassAndHoldsTheLastFrameThroughThePause)
{
    PauseFrames(2);
    EXPECT_EQ(Run(13), "1 2 3 4 - - 1 2 3 4 - - 1");
}

TEST_F(Stepper, ReverseStartsWithTheFirstFrameAndAFullPause)
{
    playback_.SetPlayMode(kPlayReverse);
    PauseFrames(2);
    EXPECT_EQ(Run(10), "1 - - 4 3 2 1 - - 4");
}

TEST_F(Stepper, WiperBladeModePausesOnlyOnTheFirstFrameAfterAFullSweep)
{
    playback_.SetPlayMode(kPlayOscillate1);
    PauseFrames(2);
    EXPECT_EQ(Run(18), "1 2 3 4 3 2 1 - - 2 3 4 3 2 1 - - 2");
}

TEST_F(Stepper, SplitModePausesAtBothEnds)
{
    playback_.SetPlayMode(kPlayOscillate2);
    PauseFrames(2);
    EXPECT_EQ(Run(17), "1 2 3 4 - - 3 2 1 - - 2 3 4 - - 3");
}

TEST_F(Stepper, APauseOfNoFramesLetsPassesFollowEachOther)
{
    EXPECT_EQ(Run(9), "1 2 3 4 1 2 3 4 1");
}

TEST_F(Stepper, AnUnknownModeDrawsTheCurrentFrameWithoutStepping)
{
    playback_.SetPlayMode(7);
    EXPECT_EQ(Run(3), "1 1 1");
}

TEST_F(Stepper, WithoutACompleteSequenceOnlyTheFirstFrameIsDrawnInAnyMode)
{
    playback_.SetPlayMode(kPlayReverse);
    playback_.is_sequence = false;
    playback_.current = overlay_.frames.last;
    PauseFrames(2);
    EXPECT_EQ(Run(4), "1 1 1 1");
    EXPECT_EQ(playback_.current, &overlay_.frames.first);
}

TEST_F(Stepper, AnOverlaySwitchedOffHoldsWhileAPauseStillCountsDown)
{
    PauseFrames(3);
    EXPECT_EQ(Run(5), "1 2 3 4 -");
    overlay_.overlay_on = 0;
    EXPECT_EQ(Run(4), "- - - -");
    overlay_.overlay_on = 1;
    EXPECT_EQ(Run(2), "1 2") << "the pause ran out while the overlay was off";
}

TEST_F(Stepper, OneShotSwitchedOnWithoutAPausePlaysOnePassThenHolds)
{
    EXPECT_TRUE(playback_.SetOneShot(true)) << "nothing counts down, so Go is armed";
    EXPECT_TRUE(playback_.go);
    EXPECT_EQ(Run(7), "1 2 3 4* - - -");
    EXPECT_FALSE(playback_.go);
    EXPECT_TRUE(playback_.PressGo());
    EXPECT_EQ(Run(6), "1 2 3 4* - -");
}

TEST_F(Stepper, OneShotWithoutGoHoldsEveryFrame)
{
    playback_.one_shot = true;
    EXPECT_EQ(Run(5), "- - - - -");
    EXPECT_EQ(playback_.current, &overlay_.frames.first);
}

TEST_F(Stepper, OneShotSwitchedOnDuringAPauseWaitsForGo)
{
    PauseFrames(2);
    EXPECT_EQ(Run(5), "1 2 3 4 -");
    EXPECT_FALSE(playback_.SetOneShot(true));
    EXPECT_FALSE(playback_.go);
    EXPECT_EQ(Run(4), "- - - -");
    EXPECT_TRUE(playback_.PressGo());
    EXPECT_EQ(Run(6), "1 2 3 4* - -") << "a Go pass ends without a pause";
    EXPECT_EQ(playback_.pause_countdown, 0);
}

TEST_F(Stepper, GoWithoutOneShotOrPauseDoesNothing)
{
    EXPECT_FALSE(playback_.PressGo());
    EXPECT_FALSE(playback_.go);
    EXPECT_FALSE(playback_.SetOneShot(false));
    EXPECT_FALSE(playback_.go);
}

TEST_F(Stepper, SwitchingOneShotOffWithAPauseSetArmsGoWhenNothingCountsDown)
{
    PauseFrames(3);
    EXPECT_TRUE(playback_.SetOneShot(false));
    EXPECT_TRUE(playback_.go);
    EXPECT_EQ(Run(6), "1 2 3 4* 1 2") << "the armed Go skips the pause after the first pass";
}

TEST_F(Stepper, GoDuringAPauseSkipsItButTheRestIsCountedAfterThePass)
{
    PauseFrames(5);
    EXPECT_EQ(Run(6), "1 2 3 4 - -");
    EXPECT_EQ(playback_.pause_countdown, 3);
    EXPECT_TRUE(playback_.PressGo());
    EXPECT_EQ(Run(13), "1 2 3 4* - - - 1 2 3 4 - -");
    EXPECT_EQ(playback_.pause_countdown, 3);
}

TEST_F(Stepper, OnASinglePictureGoArmsNothing)
{
    playback_.is_sequence = false;
    PauseFrames(3);
    EXPECT_FALSE(playback_.PressGo());
    EXPECT_FALSE(playback_.SetOneShot(true));
    EXPECT_FALSE(playback_.go);
    EXPECT_EQ(Run(2), "- -") << "One-Shot holds the still";
}

struct GoCase {
    const char* what;
    bool one_shot;
    int32_t pause;
    std::function<void(PlaybackState&)> change;
    bool armed;  // after the change, and after the next tick
};

// Go armed on the run, then a change: Go stays armed only while it would still start a pass.
TEST_F(Stepper, GoStaysArmedOnlyWhileItWouldStartAPass)
{
    const auto no_pause = [](PlaybackState& p) { p.SetPause(0, kPauseInFrames, kRateN30000, kRateD25p); };
    const GoCase cases[] = {
        {"One-Shot off, no pause", true, 0, [](PlaybackState& p) { p.SetOneShot(false); }, false},
        {"One-Shot off, a pause for Go to skip", true, 3, [](PlaybackState& p) { p.SetOneShot(false); }, true},
        {"the pause ended outside One-Shot", false, 3, no_pause, false},
        {"the pause ended in One-Shot", true, 3, no_pause, true},
        {"a single picture in the run's place", true, 0, [](PlaybackState& p) { p.is_sequence = false; }, false},
    };
    for (const GoCase& c : cases) {
        SCOPED_TRACE(c.what);
        playback_.is_sequence = true;
        playback_.current = &overlay_.frames.first;
        playback_.one_shot = c.one_shot;
        PauseFrames(c.pause);
        ASSERT_TRUE(playback_.PressGo());
        c.change(playback_);
        EXPECT_EQ(playback_.armed(), c.armed);
        std::lock_guard lock(overlay_.frames.guard);
        EXPECT_EQ(playback_.Tick(overlay_).go_pass_ended, !playback_.is_sequence) << "a Go dropped is reported";
        EXPECT_EQ(playback_.go, c.armed);
    }
}

TEST_F(Stepper, AShorterPauseSetWhileCountingDownCutsTheCountdownAndALongerOneDoesNot)
{
    PauseFrames(40);
    EXPECT_EQ(Run(14), "1 2 3 4 - - - - - - - - - -");
    EXPECT_EQ(playback_.pause_countdown, 30);
    playback_.SetPause(1, kPauseInSeconds, kRateN30000, kRateD25p);  // 25 frames
    EXPECT_EQ(playback_.pause_countdown, 25);
    playback_.SetPause(2, kPauseInSeconds, kRateN30000, kRateD25p);  // 50 frames
    EXPECT_EQ(playback_.pause_countdown, 25);
    EXPECT_EQ(Run(24), Holds(24));
    EXPECT_EQ(Run(2), "- 1");
    EXPECT_EQ(Run(4), "2 3 4 -");
    EXPECT_EQ(playback_.pause_countdown, 49) << "the next pause is the new, longer one";
}

TEST_F(Stepper, ResetCountdownEndsARunningPause)
{
    PauseFrames(10);
    EXPECT_EQ(Run(5), "1 2 3 4 -");
    playback_.ResetCountdown();
    EXPECT_EQ(Run(2), "1 2");
}

TEST_F(TwoFrameStepper, SplitModeOnTwoFramesTurnsAndPausesAtEachEnd)
{
    playback_.SetPlayMode(kPlayOscillate2);
    PauseFrames(1);
    EXPECT_EQ(Run(9), "1 2 - 1 - 2 - 1 -");
}

}  // namespace
}  // namespace vantor
