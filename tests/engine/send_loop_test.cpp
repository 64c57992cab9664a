#include "engine_fixture.h"

#include <QImage>
#include <QSignalSpy>

namespace vantor {
namespace {

using test::EngineFixture;
using test::SpinFor;
using test::SpinUntil;

constexpr int k640x360 = 32776;
constexpr int k25p = 32777, k30p = 32778, k50p = 32781;

std::vector<int> LampsOf(const QSignalSpy& spy)
{
    std::vector<int> lamps;
    for (const QList<QVariant>& args : spy)
        lamps.push_back(args.at(0).toInt());
    return lamps;
}

using SendLoop = EngineFixture;

TEST_F(SendLoop, StartWithoutASenderStaysStoppedAndSendsNoPositions)
{
    QSignalSpy sending(&engine, &Engine::sendingChanged);
    EXPECT_FALSE(engine.StartSending());
    EXPECT_FALSE(engine.running());
    SpinFor(200);
    EXPECT_TRUE(broadcasts.Take().empty());
    EXPECT_EQ(sending.count(), 0);
}

TEST_F(SendLoop, PositionsCountTheFrameInTheWrapPlusTheInstanceNumberTimes64)
{
    engine.SetInstanceNumber(1);
    engine.SelectResolution(k640x360);
    engine.SelectFrameRate(k30p);
    ASSERT_TRUE(engine.StartSending());
    ASSERT_TRUE(SpinUntil([&] { return broadcasts.Count() >= 35; }, 5000));
    engine.StopSending();
    const std::vector<intptr_t> positions = broadcasts.TakePositions();
    ASSERT_GE(positions.size(), 35u);
    for (size_t i = 0; i < positions.size(); ++i)
        ASSERT_EQ(positions[i], 64 + intptr_t(i % 30)) << i;

    // At a double rate the position steps by two and wraps after 25 frames at 50p.
    engine.SetInstanceNumber(0);
    engine.SelectFrameRate(k50p);
    ASSERT_TRUE(engine.StartSending());
    ASSERT_TRUE(SpinUntil([&] { return broadcasts.Count() >= 30; }, 5000));
    engine.StopSending();
    const std::vector<intptr_t> doubled = broadcasts.TakePositions();
    for (size_t i = 0; i < doubled.size(); ++i)
        ASSERT_EQ(doubled[i], intptr_t(i % 25) * 2) << i;
}

TEST_F(SendLoop, LampIsRedAtStartAndFirstWrapThenAlternatesAndGreyAfterStop)
{
    engine.SelectResolution(k640x360);
    engine.SelectFrameRate(k50p);  // a wrap every 25 frames: twice a second
    QSignalSpy lamps(&engine, &Engine::lampChanged);
    ASSERT_TRUE(engine.StartSending());
    ASSERT_TRUE(SpinUntil([&] { return lamps.count() >= 5; }, 5000));
    engine.StopSending();
    SpinFor(100);  // anything the finished run posted late must not light the lamp again
    const std::vector<int> seen = LampsOf(lamps);
    ASSERT_GE(seen.size(), 6u);
    EXPECT_EQ(std::vector<int>(seen.begin(), seen.begin() + 5),
              (std::vector<int>{kLampRed, kLampRed, kLampAmber, kLampRed, kLampAmber}));
    EXPECT_EQ(seen.back(), kLampIdle);
}

TEST_F(SendLoop, StopEndsTheRunAndStartBeginsAFreshOne)
{
    engine.SelectResolution(k640x360);
    engine.SelectFrameRate(k25p);
    QSignalSpy sending(&engine, &Engine::sendingChanged);
    ASSERT_TRUE(engine.StartSending());
    EXPECT_TRUE(engine.preview_live());
    ASSERT_TRUE(SpinUntil([&] { return broadcasts.Count() >= 7; }, 5000));
    engine.StopSending();
    EXPECT_FALSE(engine.running());
    EXPECT_FALSE(engine.preview_live());
    const size_t first_run = broadcasts.TakePositions().size();
    EXPECT_GE(first_run, 7u);
    SpinFor(200);
    EXPECT_TRUE(broadcasts.Take().empty()) << "a stopped loop sent on";

    ASSERT_TRUE(engine.StartSending());
    ASSERT_TRUE(SpinUntil([&] { return broadcasts.Count() >= 3; }, 5000));
    engine.StopSending();
    const std::vector<intptr_t> second_run = broadcasts.TakePositions();
    ASSERT_FALSE(second_run.empty());
    EXPECT_EQ(second_run.front(), 0) << "the frame counter starts afresh";
    ASSERT_EQ(sending.count(), 4);
    EXPECT_EQ(LampsOf(sending), (std::vector<int>{1, 0, 1, 0}));
}

TEST_F(SendLoop, AMasterTellsItsSlavesOnStartStopAndEveryFormatChange)
{
    master = true;
    engine.SelectResolution(k640x360);
    ASSERT_TRUE(engine.running() == false);
    engine.PressStart();
    EXPECT_TRUE(engine.running());
    engine.PressStop();
    engine.SelectFrameRate(k25p);
    std::vector<std::pair<uint32_t, intptr_t>> orders;
    for (const auto& sent : broadcasts.Take())
        if (sent.first == kSyncStartStop)
            orders.push_back(sent);
    using Order = std::pair<uint32_t, intptr_t>;
    EXPECT_EQ(orders, (std::vector<Order>{{1, 0}, {1, 1}, {1, 0}, {1, 0}}));

    master = false;
    engine.PressStart();
    engine.SelectFrameRate(k25p);
    for (const auto& sent : broadcasts.Take())
        EXPECT_NE(sent.first, kSyncStartStop) << "a copy that is not master sent an order";
}

TEST_F(SendLoop, AFormatChangeStopsTheLoopAndNeverRestartsIt)
{
    engine.SelectResolution(k640x360);
    QSignalSpy info(&engine, &Engine::infoTextChanged);
    ASSERT_TRUE(engine.StartSending());
    engine.SelectFrameRate(k50p);
    EXPECT_FALSE(engine.running());
    EXPECT_TRUE(engine.sender_exists());
    ASSERT_EQ(info.count(), 1);
    EXPECT_EQ(info.at(0).at(0).toString(), QStringLiteral("640 x 360 - 50.00 fps"));
    SpinFor(300);
    EXPECT_FALSE(engine.running());
}

TEST_F(SendLoop, ExitWhileSendingStopsAtOnceAndShutsDownLater)
{
    engine.SelectResolution(k640x360);
    ASSERT_TRUE(engine.StartSending());
    QSignalSpy finished(&engine, &Engine::finished);
    engine.ExitConfirmed();
    EXPECT_FALSE(engine.running());
    SpinFor(1500);
    EXPECT_EQ(finished.count(), 0) << "shut down before its 2.5 seconds";
    EXPECT_TRUE(SpinUntil([&] { return finished.count() == 1; }, 3000));
    EXPECT_FALSE(engine.sender_exists());
    EXPECT_FALSE(engine.StartSending()) << "nothing left to send with";
}

TEST_F(SendLoop, AStartAfterTheExitWasConfirmedNeitherRestartsTheLoopNorHoldsUpTheShutdown)
{
    engine.SelectResolution(k640x360);
    ASSERT_TRUE(engine.StartSending());
    QSignalSpy finished(&engine, &Engine::finished);
    engine.ExitConfirmed();
    engine.FollowMaster(true);  // a master's start in the last seconds
    EXPECT_FALSE(engine.running());
    engine.PressStart();
    EXPECT_FALSE(engine.running());
    EXPECT_TRUE(SpinUntil([&] { return finished.count() == 1; }, 10000)) << "the shutdown never came";
}

TEST_F(SendLoop, ExitWhileStoppedShutsDownAtOnce)
{
    engine.SelectResolution(k640x360);
    QSignalSpy finished(&engine, &Engine::finished);
    engine.ExitConfirmed();
    EXPECT_EQ(finished.count(), 1);
}

// The control API's picture: asks made before it comes share one, a stop while one is asked for
// still answers it, and stopped it comes at once; every one shows the frame sent.
TEST_F(SendLoop, PicturesOfTheOutputComeOnceForTheAsksBeforeThemRunningOrStopped)
{
    engine.SelectResolution(k640x360);
    QSignalSpy pictures(&engine, &Engine::snapshotReady);
    const auto latest = [&pictures] { return pictures.last().at(0).value<QImage>(); };
    ASSERT_TRUE(engine.StartSending());
    engine.RequestSnapshot();
    engine.RequestSnapshot();
    ASSERT_TRUE(SpinUntil([&] { return pictures.count() >= 1; }, 5000));
    SpinFor(200);
    EXPECT_EQ(pictures.count(), 1);
    EXPECT_EQ(latest().size(), QSize(640, 360));
    EXPECT_NE(qAlpha(latest().pixel(380, 95)), 0) << "the watermark, 480 x 184 from 20 pixels in";

    engine.RequestSnapshot();
    engine.StopSending();
    ASSERT_TRUE(SpinUntil([&] { return pictures.count() >= 2; }, 5000));
    engine.RequestSnapshot();
    EXPECT_EQ(pictures.count(), 3) << "stopped, at once";
    EXPECT_EQ(latest().size(), QSize(640, 360));
    SpinFor(100);
    EXPECT_EQ(pictures.count(), 3);
}

}  // namespace
}  // namespace vantor
