// How copies on one machine number themselves and name their sources, seen from outside: the
// lines they print, the titles receivers read from their streams, and whether they end.

#include "sync_fixture.h"

#include <signal.h>

namespace vantor::test {
namespace {

const QString kSending = QStringLiteral("Sending");
const QString kNinthCopyComplaint =
    QStringLiteral("ndivantor-headless: eight copies already run on this machine: exiting");
const QString kNoBusComplaint = QStringLiteral("ndivantor-headless: no session bus: running alone as copy No 1");
const QString kSilentBusComplaint =
    QStringLiteral("ndivantor-headless: the session bus did not answer within 2 s: running alone as copy No 1");

class NumberingTest : public SyncTest {};

TEST_F(NumberingTest, ThreeCopiesTakeTheFirstThreeNumbersAndNameTheirSourcesByThem)
{
    for (int shown = 1; shown <= 3; ++shown) {
        CopyProcess& copy = LaunchNumbered();
        EXPECT_EQ(copy.Title(), TitleLine(shown));
    }
    for (int shown = 1; shown <= 3; ++shown)
        EXPECT_EQ(SourceTitleOf(*copies_[shown - 1]), SourceName(shown));
}

TEST_F(NumberingTest, ANumberFreedByAnEndedCopyGoesToTheNextCopy)
{
    for (int shown = 1; shown <= 3; ++shown)
        ASSERT_EQ(LaunchNumbered().Title(), TitleLine(shown));
    CopyProcess& first = *copies_[0];
    first.Terminate();
    ASSERT_TRUE(first.WaitForExit(kExitBound_ms));
    EXPECT_TRUE(first.EndedCleanly()) << first.Errors().toStdString();

    CopyProcess& next = LaunchNumbered();
    EXPECT_EQ(next.Title(), TitleLine(1));
    EXPECT_EQ(SourceTitleOf(next), SourceName(1));
    EXPECT_EQ(SourceTitleOf(*copies_[1]), SourceName(2)) << "the copies still running keep their numbers";
    EXPECT_EQ(SourceTitleOf(*copies_[2]), SourceName(3));
}

TEST_F(NumberingTest, ANinthCopyGoesToTheExitProcedureWhileEightRun)
{
    for (int shown = 1; shown <= 8; ++shown)
        ASSERT_EQ(LaunchNumbered().Title(), TitleLine(shown));

    CopyProcess& ninth = Launch();
    ASSERT_TRUE(ninth.WaitForExit(kExitBound_ms)) << "the ninth copy kept running";
    EXPECT_TRUE(ninth.EndedCleanly()) << ninth.Errors().toStdString();
    EXPECT_TRUE(ninth.Errors().split(QLatin1Char('\n')).contains(kNinthCopyComplaint)) << ninth.Errors().toStdString();
    EXPECT_TRUE(ninth.Title().isEmpty()) << "a ninth copy takes no number";
    EXPECT_EQ(ninth.Count(kSending), 0);
    for (int shown = 1; shown <= 8; ++shown)
        EXPECT_TRUE(copies_[shown - 1]->running()) << "copy No " << shown << " ended";
}

// A copy whose number is still pending replies 0 to the other's announcement and hears its own
// reply too, so both take the same number; the bus gives the number's name to the one that
// claims it first, and the other takes a new number.
TEST_F(NumberingTest, TwoCopiesLaunchedTogetherEndUpWithDifferentSourceNames)
{
    CopyProcess& one = Launch();
    CopyProcess& other = Launch();
    ASSERT_TRUE(one.WaitForCount(kSending, 1, kSendingBound_ms));
    ASSERT_TRUE(other.WaitForCount(kSending, 1, kSendingBound_ms));
    const auto renumbered = [](CopyProcess& copy) {
        return copy.Lines().filter(QStringLiteral("Another copy also took")).size();
    };
    const bool clash = one.Titles().value(0) == other.Titles().value(0);
    RecordProperty("clash", clash ? "yes" : "no");
    if (clash) {
        // One of the two must give its number up after the first frames.
        ASSERT_TRUE(SpinUntil([&] { return renumbered(one) + renumbered(other) > 0; }, kSendingBound_ms))
            << "both copies stay " << one.Title().toStdString();
        EXPECT_EQ(renumbered(one) + renumbered(other), 1) << "exactly one copy takes a new number";
    }
    EXPECT_NE(one.Title(), other.Title());
    const QString one_source = SourceTitleOf(one);
    const QString other_source = SourceTitleOf(other);
    EXPECT_NE(one_source, other_source);
    const QStringList both{one_source, other_source};
    EXPECT_TRUE(both.contains(SourceName(1)) && both.contains(SourceName(2)))
        << "sources: " << both.join(QStringLiteral(", ")).toStdString();
    // A run the new number interrupted goes on; a copy renumbered before its start still starts.
    EXPECT_EQ(FramesFrom({&one, &other}), (std::vector<int>{kFramesOfARunningSource, kFramesOfARunningSource}));
}

TEST_F(NumberingTest, ACopyWithNoSessionBusRunsAloneAsNumberOneAndSaysSoOnce)
{
    CopyProcess& alone = LaunchWithoutBus();
    ASSERT_TRUE(alone.WaitForCount(kSending, 1, kSendingBound_ms)) << "nothing may block without a bus";
    EXPECT_EQ(alone.Title(), TitleLine(1));
    EXPECT_EQ(SourceTitleOf(alone), SourceName(1));
    // By now it has sent frames, each of which would have gone to the other copies.
    EXPECT_EQ(alone.Errors().split(QLatin1Char('\n')).count(kNoBusComplaint), 1) << alone.Errors().toStdString();
}

// A bus whose daemon is stopped takes connections and never answers: the copy gives it a couple
// of seconds at start, then goes on air as a copy without a bus does.
TEST(StoppedBus, ACopyWhoseSessionBusIsStoppedAtStartGoesOnAirAloneAsNumberOne)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    ASSERT_EQ(::kill(pid_t(bus.pid()), SIGSTOP), 0);
    struct Resume {
        pid_t pid;
        ~Resume() { ::kill(pid, SIGCONT); }  // so that the daemon can end
    } resume{pid_t(bus.pid())};

    CopyProcess copy(bus.address());
    ASSERT_TRUE(copy.WaitForCount(kSending, 1, kSendingBound_ms)) << copy.Errors().toStdString();
    EXPECT_EQ(copy.Title(), TitleLine(1));
    EXPECT_EQ(copy.Errors().split(QLatin1Char('\n')).count(kSilentBusComplaint), 1) << copy.Errors().toStdString();
}

}  // namespace
}  // namespace vantor::test
