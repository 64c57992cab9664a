#include "engine/playback_state.h"
#include "imagery/animated_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace vantor {
namespace {

struct Rate {
    int32_t n;
    int32_t d;
};
constexpr Rate k25p{30000, 1200};
constexpr Rate k2997p{30000, 1001};
constexpr Rate k50p{60000, 1200};
constexpr Rate k60p{60000, 1000};

// Four frames numbered 1 to 4, each lasting `duration` units of num/den seconds, on air.
class TimedStepper : public ::testing::Test {
protected:
    void MakeList(int64_t num, int64_t den, int64_t duration, Rate rate)
    {
        overlay_.frames.time_base_num = num;
        overlay_.frames.time_base_den = den;
        overlay_.frames.first.number = 1;
        overlay_.frames.first.duration = duration;
        for (int n = 2; n <= 4; ++n) {
            auto frame = std::make_unique<SequenceFrame>();
            frame->number = n;
            frame->duration = duration;
            AppendFrame(overlay_.frames, std::move(frame));
        }
        overlay_.overlay_on = 1;
        playback_.is_sequence = true;
        playback_.current = &overlay_.frames.first;
        playback_.SetOutputRate(rate.n, rate.d);
    }

    std::string Run(int ticks)
    {
        std::string out;
        for (int i = 0; i < ticks; ++i) {
            const TickResult r = playback_.Tick(overlay_);
            out += out.empty() ? "" : " ";
            out += r.draw ? std::to_string(r.node->number) : std::string("-");
            out += r.go_pass_ended ? "*" : "";
        }
        return out;
    }

    OverlayState overlay_;
    PlaybackState playback_;
};

struct TimingCase {
    const char* name;
    int64_t num;
    int64_t den;
    int64_t duration;
    Rate rate;
    const char* shown;
};

class TimingTable : public TimedStepper, public ::testing::WithParamInterface<TimingCase> {};

// Each frame starts at the output frame nearest its own start time.
TEST_P(TimingTable, EachFrameShowsForTheOutputFramesItsDurationCovers)
{
    const TimingCase& c = GetParam();
    MakeList(c.num, c.den, c.duration, c.rate);
    EXPECT_EQ(Run(12), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, TimingTable,
    ::testing::Values(
        TimingCase{"movie25At25p", 1, 25, 1, k25p, "1 2 3 4 1 2 3 4 1 2 3 4"},
        TimingCase{"movie25At2997p", 1, 25, 1, k2997p, "1 2 3 3 4 1 2 3 4 4 1 2"},
        TimingCase{"movie25At50p", 1, 25, 1, k50p, "1 1 2 2 3 3 4 4 1 1 2 2"},
        TimingCase{"movie25At60p", 1, 25, 1, k60p, "1 1 2 2 2 3 3 4 4 4 1 1"},
        TimingCase{"gif0csAt25p", 1, 1000, EffectiveGifDelayMs(0), k25p, "1 1 2 2 2 3 3 4 4 4 1 1"},
        TimingCase{"gif2csAt25p", 1, 1000, EffectiveGifDelayMs(20), k25p, "1 4 2 4 2 4 2 4 2 4 2 4"},
        TimingCase{"gif7csAt25p", 1, 1000, EffectiveGifDelayMs(70), k25p, "1 1 2 3 3 4 4 1 1 2 3 3"},
        TimingCase{"gif10csAt25p", 1, 1000, EffectiveGifDelayMs(100), k25p, "1 1 2 2 2 3 3 4 4 4 1 1"}),
    [](const auto& info) { return std::string(info.param.name); });

// 1200 frames of 29.97p last exactly 1001 frames of 25 fps: counted one by one in floating
// point the boundaries would wander after a few minutes.
TEST_F(TimedStepper, A25FpsMovieAt2997pCrossesExactlyTheBoundariesItsTimeCoversAfterHours)
{
    MakeList(1, 25, 1, k2997p);
    constexpr int kTicks = 1200 * 1000;  // about eleven hours
    int changes = 0;
    const SequenceFrame* shown = nullptr;
    for (int i = 0; i < kTicks; ++i) {
        const SequenceFrame* node = playback_.Tick(overlay_).node;
        changes += shown && node != shown;
        shown = node;
    }
    EXPECT_EQ(changes, 1000 * 1001 - 1);  // the last boundary falls after the last sample
}

TEST_F(TimedStepper, ReverseAndOscillatingModesKeepEachFramesDuration)
{
    MakeList(1, 25, 1, k50p);
    playback_.SetPlayMode(kPlayReverse);
    EXPECT_EQ(Run(6), "1 1 4 4 3 3");
    playback_.current = &overlay_.frames.first;
    playback_.SetPlayMode(kPlayOscillate1);
    EXPECT_EQ(Run(14), "1 1 2 2 3 3 4 4 3 3 2 2 1 1");
}

TEST_F(TimedStepper, PauseAndOneShotWaitAtTheEndOfAPassOfTimedFrames)
{
    MakeList(1, 25, 1, k50p);
    playback_.SetPause(3, kPauseInFrames, k50p.n, k50p.d);
    EXPECT_EQ(Run(13), "1 1 2 2 3 3 4 4 - - - 1 1");
    playback_.one_shot = true;
    EXPECT_EQ(Run(3), "- - -");
    EXPECT_TRUE(playback_.PressGo());
    EXPECT_EQ(Run(8), "2 2 3 3 4 4* - -");
}

TEST_F(TimedStepper, FramesShorterThanAnOutputFrameArePassedOverAndALongOneHeld)
{
    MakeList(1, 100, 1, k25p);  // 100 fps: four frames to an output frame of 25p
    overlay_.frames.first.next->duration = 8;  // frame 2 lasts two output frames
    EXPECT_EQ(Run(4), "1 2 4 2");
}

// A numbered run plays one picture per output frame until it is given its own rate; an
// animation file keeps its own timing whatever the run rate.
TEST_F(TimedStepper, ARunRateTimesANumberedRunButNotAnAnimation)
{
    MakeList(0, 1, 0, k50p);
    EXPECT_EQ(Run(4), "1 2 3 4");
    overlay_.frames.run_rate = 25;
    ApplyRunRate(overlay_.frames);
    EXPECT_EQ(Run(8), "1 1 2 2 3 3 4 4");
    overlay_.frames.run_rate = 0;
    overlay_.frames.timed_by_file = true;
    overlay_.frames.time_base_num = 1;
    overlay_.frames.time_base_den = 50;
    ApplyRunRate(overlay_.frames);
    EXPECT_EQ(Run(4), "1 2 3 4");
}

}  // namespace
}  // namespace vantor
