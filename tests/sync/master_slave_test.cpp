// A master copy starts and stops its slaves, seen on their streams: frames keep arriving from a
// running source; a stopped one still accepts a receiver but sends it only its last picture.

#include "sync_fixture.h"

namespace vantor::test {
namespace {

const QString kSending = QStringLiteral("Sending");
const QString kStopped = QStringLiteral("Stopped");
constexpr int kFramesOfAStoppedSource = 1;
const QByteArray kMaster = R"({"role": "master"})";
const QByteArray kNoRole = R"({"role": "none"})";

// Three copies, sending by themselves after launch: No 1 made master, No 2 and No 3 slaves (the
// start-up role of every copy).
class MasterSlaveTest : public SyncTest {
protected:
    void SetUp() override
    {
        SyncTest::SetUp();
        if (HasFatalFailure())
            return;
        for (int shown = 1; shown <= 3; ++shown)
            ASSERT_EQ(LaunchNumbered().Title(), TitleLine(shown));
        for (auto& copy : copies_)
            ASSERT_TRUE(copy->WaitForCount(kSending, 1, kSendingBound_ms)) << "no start two seconds after launch";
        ASSERT_EQ(master().Post(QStringLiteral("/api/role"), kMaster), 200);
    }

    CopyProcess& master() { return *copies_[0]; }
    CopyProcess& slave(int index) { return *copies_[size_t(index) + 1]; }

    // Waits until the test's client hears the master's order, then until every copy has handled
    // all it received before it: after this, a copy that would follow the order has done so.
    void WaitUntilHandled(qint64 order)
    {
        const auto heard = [&] {
            for (const HeardMessage& message : client_->heard())
                if (message.code == kStartStopCode && message.payload == order)
                    return true;
            return false;
        };
        ASSERT_TRUE(SpinUntil(heard, kSendingBound_ms)) << "the master posted no order " << order;
        ASSERT_TRUE(client_->Barrier(copies_.size(), kSendingBound_ms)) << "a copy stopped answering";
    }
};

TEST_F(MasterSlaveTest, TheMastersStopStopsEverySlaveAndItsStartStartsThemAgain)
{
    ASSERT_EQ(master().Post(QStringLiteral("/api/stop")), 200);
    for (CopyProcess* copy : {&master(), &slave(0), &slave(1)})
        ASSERT_TRUE(copy->WaitForCount(kStopped, 1, kSendingBound_ms)) << "copy " << copy->pid() << " kept sending";
    EXPECT_EQ(FramesFrom({&slave(0), &slave(1)}), (std::vector<int>{kFramesOfAStoppedSource, kFramesOfAStoppedSource}));

    ASSERT_EQ(master().Post(QStringLiteral("/api/start")), 200);
    for (CopyProcess* copy : {&master(), &slave(0), &slave(1)})
        ASSERT_TRUE(copy->WaitForCount(kSending, 2, kSendingBound_ms)) << "copy " << copy->pid() << " did not start";
    EXPECT_EQ(FramesFrom({&slave(0), &slave(1)}),
              (std::vector<int>{kFramesOfARunningSource, kFramesOfARunningSource}));
}

TEST_F(MasterSlaveTest, ASlaveWhoseBoxWasClearedIgnoresTheMaster)
{
    ASSERT_EQ(slave(0).Post(QStringLiteral("/api/role"), kNoRole), 200);  // answered once taken
    ASSERT_EQ(master().Post(QStringLiteral("/api/stop")), 200);
    ASSERT_TRUE(slave(1).WaitForCount(kStopped, 1, kSendingBound_ms));
    WaitUntilHandled(0);
    EXPECT_EQ(slave(0).Count(kStopped), 0) << "a copy that is no slave follows no stop";
    EXPECT_EQ(FramesFrom({&slave(0), &slave(1)}), (std::vector<int>{kFramesOfARunningSource, kFramesOfAStoppedSource}));

    // Its own Stop still works; the master's next start leaves it stopped.
    ASSERT_EQ(slave(0).Post(QStringLiteral("/api/stop")), 200);
    ASSERT_TRUE(slave(0).WaitForCount(kStopped, 1, kSendingBound_ms));
    ASSERT_EQ(master().Post(QStringLiteral("/api/start")), 200);
    ASSERT_TRUE(slave(1).WaitForCount(kSending, 2, kSendingBound_ms));
    WaitUntilHandled(1);
    EXPECT_EQ(slave(0).Count(kSending), 1) << "a copy that is no slave follows no start";
    EXPECT_EQ(FramesFrom({&slave(0), &slave(1)}), (std::vector<int>{kFramesOfAStoppedSource, kFramesOfARunningSource}));
}

TEST_F(MasterSlaveTest, TheMastersFormatChangeStopsTheSlavesAndTheyStayStopped)
{
    // The format changes only while stopped: the master stops alone first (as no master), then
    // takes the role back and picks a format, which stops every slave.
    ASSERT_EQ(master().Post(QStringLiteral("/api/role"), kNoRole), 200);
    ASSERT_EQ(master().Post(QStringLiteral("/api/stop")), 200);
    ASSERT_EQ(master().Post(QStringLiteral("/api/role"), kMaster), 200);
    EXPECT_EQ(slave(0).Count(kStopped), 0);
    ASSERT_EQ(master().Post(QStringLiteral("/api/format"), R"({"size": "640x360"})"), 200);
    for (CopyProcess* copy : {&master(), &slave(0), &slave(1)})
        ASSERT_TRUE(copy->WaitForCount(kStopped, 1, kSendingBound_ms)) << "copy " << copy->pid() << " kept sending";
    WaitUntilHandled(0);
    // The receivers wait seconds for frames: a restart would show.
    EXPECT_EQ(FramesFrom({&master(), &slave(0), &slave(1)}),
              (std::vector<int>{kFramesOfAStoppedSource, kFramesOfAStoppedSource, kFramesOfAStoppedSource}));
    for (CopyProcess* copy : {&master(), &slave(0), &slave(1)})
        EXPECT_EQ(copy->Count(kSending), 1) << "copy " << copy->pid() << " started again";
    EXPECT_EQ(SourceTitleOf(master()), SourceName(1)) << "the master's new source keeps its name";
}

TEST_F(MasterSlaveTest, ASlaveToldToEndEndsEvenWhenTheMasterStartsItInItsLastSeconds)
{
    CopyProcess& ending = slave(0);
    ending.Terminate();
    ASSERT_TRUE(ending.WaitForCount(kStopped, 1, kSendingBound_ms)) << "SIGTERM did not stop the output";
    ASSERT_EQ(master().Post(QStringLiteral("/api/start")), 200);  // it runs already: it only tells the slaves
    ASSERT_TRUE(ending.WaitForExit(kExitBound_ms)) << "the start kept the copy alive";
    EXPECT_TRUE(ending.EndedCleanly()) << ending.Errors().toStdString();
    EXPECT_EQ(ending.Count(kSending), 1) << "the copy started again after its exit";
}

}  // namespace
}  // namespace vantor::test
