#include "engine/instance_sync.h"
#include "engine_fixture.h"

#include <QSignalSpy>

namespace vantor {
namespace {

using test::SpinUntil;

constexpr uint32_t kOwnPid = 4242;

// One copy's numbering and roles, with the messages it posts collected instead of sent.
class InstanceSyncTest : public test::EngineFixture {
protected:
    void SetUp() override
    {
        EngineFixture::SetUp();
        engine.SetHooks({[this] { return sync.master(); },
                         [this](uint32_t code, intptr_t payload) { Record(code, payload); }, {}});
    }

    void Record(uint32_t code, intptr_t payload)
    {
        std::lock_guard lock(broadcasts.mutex);
        broadcasts.sent.emplace_back(code, payload);
    }

    // Announces, lets the given replies arrive, and chooses.
    void NumberWithReplies(std::initializer_list<intptr_t> replies)
    {
        sync.Announce();
        for (intptr_t reply : replies)
            sync.OnSyncMessage(kSyncReply, reply);
        sync.ChooseNumber();
    }

    InstanceSync sync{engine, [this](uint32_t code, intptr_t payload) { Record(code, payload); }, kOwnPid};
};

TEST_F(InstanceSyncTest, AnnouncesItsProcessIdAndTakesTheLowestFreeNumber)
{
    QSignalSpy titles(&sync, &InstanceSync::titleChanged);
    sync.Announce();
    EXPECT_TRUE(sync.number_pending());
    const auto posted = broadcasts.Take();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0], (std::pair<uint32_t, intptr_t>{kSyncAnnounce, kOwnPid}));
    for (intptr_t reply : {0, 1, 3})
        sync.OnSyncMessage(kSyncReply, reply);
    ASSERT_TRUE(SpinUntil([&] { return !sync.number_pending(); }, 2000)) << "no choice after 100 ms";
    EXPECT_EQ(sync.instance_number(), 2);
    ASSERT_EQ(titles.count(), 1);
    EXPECT_EQ(titles.at(0).at(0).toString(), QStringLiteral("Kelo Vantor for NDI\u00AE - No 3"));
    EXPECT_TRUE(engine.sender_exists()) << "the output format is applied under the new number";
}

TEST_F(InstanceSyncTest, AFirstCopyWithNoRepliesIsNumberZero)
{
    NumberWithReplies({});
    EXPECT_EQ(sync.instance_number(), 0);
    // A late reply does not change a number already chosen.
    sync.OnSyncMessage(kSyncReply, 0);
    EXPECT_EQ(sync.instance_number(), 0);
}

TEST_F(InstanceSyncTest, ANinthCopyAsksToExitAndKeepsNoSender)
{
    QSignalSpy exit(&sync, &InstanceSync::exitRequested);
    QSignalSpy titles(&sync, &InstanceSync::titleChanged);
    NumberWithReplies({0, 1, 2, 3, 4, 5, 6, 7});
    EXPECT_EQ(exit.count(), 1);
    EXPECT_EQ(titles.count(), 0);
    EXPECT_EQ(sync.instance_number(), 0);
    EXPECT_FALSE(engine.sender_exists());
    EXPECT_FALSE(engine.StartSending());
}

TEST_F(InstanceSyncTest, RepliesToOtherCopiesAnnouncementsOnlyEvenWhilePending)
{
    sync.Announce();
    broadcasts.Take();
    sync.OnSyncMessage(kSyncAnnounce, kOwnPid);  // its own: ignored
    sync.OnSyncMessage(kSyncAnnounce, 999);
    using Msg = std::pair<uint32_t, intptr_t>;
    EXPECT_EQ(broadcasts.Take(), (std::vector<Msg>{{kSyncReply, 0}}));
    sync.OnSyncMessage(kSyncReply, 0);
    sync.OnSyncMessage(kSyncReply, 1);
    sync.ChooseNumber();
    sync.OnSyncMessage(kSyncAnnounce, 1000);
    const auto replies = broadcasts.Take();
    ASSERT_FALSE(replies.empty());
    EXPECT_EQ(replies.back(), (Msg{kSyncReply, 2}));
}

TEST_F(InstanceSyncTest, MalformedPayloadsAndUnknownCodesChangeNothing)
{
    sync.Announce();
    for (intptr_t bad : {intptr_t{-1}, intptr_t{32}, intptr_t{1} << 40, INTPTR_MIN})
        sync.OnSyncMessage(kSyncReply, bad);
    for (uintptr_t code : {uintptr_t{0}, uintptr_t{4}, uintptr_t{6}, uintptr_t{99}, (uintptr_t{1} << 32) + 1,
                           UINTPTR_MAX})
        sync.OnSyncMessage(code, 0);
    sync.ChooseNumber();
    EXPECT_EQ(sync.instance_number(), 0);
    ASSERT_TRUE(engine.sender_exists());
    // Start orders with payloads other than 0 and 1 are ignored by a slave.
    for (intptr_t bad : {intptr_t{2}, intptr_t{-1}, intptr_t{1} << 33})
        sync.OnSyncMessage(kSyncStartStop, bad);
    EXPECT_FALSE(engine.running());
}

TEST_F(InstanceSyncTest, SlavesFollowTheMasterUntilTheirBoxIsCleared)
{
    NumberWithReplies({});
    EXPECT_TRUE(sync.slave());
    sync.OnSyncMessage(kSyncStartStop, 1);
    EXPECT_TRUE(engine.running());
    sync.OnSyncMessage(kSyncStartStop, 0);
    EXPECT_FALSE(engine.running());

    sync.SlaveClicked(false);
    sync.OnSyncMessage(kSyncStartStop, 1);
    EXPECT_FALSE(engine.running()) << "a copy that is not a slave follows nobody";
}

TEST_F(InstanceSyncTest, AtMostOneRoleBoxIsChecked)
{
    QSignalSpy slave_box(&sync, &InstanceSync::slaveBoxChanged);
    QSignalSpy master_box(&sync, &InstanceSync::masterBoxChanged);
    sync.MasterClicked(true);
    EXPECT_TRUE(sync.master());
    EXPECT_FALSE(sync.slave());
    ASSERT_EQ(slave_box.count(), 1);
    EXPECT_FALSE(slave_box.at(0).at(0).toBool());
    sync.SlaveClicked(true);
    EXPECT_TRUE(sync.slave());
    EXPECT_FALSE(sync.master());
    EXPECT_EQ(master_box.count(), 1);
    sync.SlaveClicked(false);
    EXPECT_FALSE(sync.slave());
    EXPECT_FALSE(sync.master());

    // With both clear the copy neither sends orders nor reacts to them.
    NumberWithReplies({});
    broadcasts.Take();
    engine.PressStart();
    engine.PressStop();
    for (const auto& [code, payload] : broadcasts.Take())
        EXPECT_NE(code, kSyncStartStop);
    sync.OnSyncMessage(kSyncStartStop, 1);
    EXPECT_FALSE(engine.running());
}

TEST_F(InstanceSyncTest, ACopyWhoseNumberAnotherTookFirstTakesANewNumberAndGoesOnSending)
{
    QSignalSpy taken(&sync, &InstanceSync::numberTaken);
    NumberWithReplies({});
    ASSERT_EQ(sync.instance_number(), 0);
    ASSERT_EQ(taken.count(), 1);
    EXPECT_EQ(taken.at(0).at(0).toInt(), 0) << "the number taken is claimed";
    ASSERT_TRUE(engine.StartSending());
    QSignalSpy resolved(&sync, &InstanceSync::duplicateNumberResolved);

    // Another number held elsewhere is none of this copy's business.
    sync.NumberHeldElsewhere(1);
    EXPECT_FALSE(sync.number_pending());
    sync.NumberHeldElsewhere(0);
    EXPECT_TRUE(sync.number_pending());
    sync.OnSyncMessage(kSyncReply, 0);
    sync.ChooseNumber();
    EXPECT_EQ(sync.instance_number(), 1);
    ASSERT_EQ(resolved.count(), 1);
    EXPECT_EQ(resolved.at(0), (QList<QVariant>{0, 1}));
    ASSERT_EQ(taken.count(), 2);
    EXPECT_EQ(taken.at(1).at(0).toInt(), 1) << "the new number is claimed in turn";
    EXPECT_TRUE(engine.running()) << "the run the clash interrupted goes on";

    // A late answer about the number given up changes nothing.
    sync.NumberHeldElsewhere(0);
    EXPECT_FALSE(sync.number_pending());
    EXPECT_EQ(sync.instance_number(), 1);
}

}  // namespace
}  // namespace vantor
