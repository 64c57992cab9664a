// The frame positions of sending copies, as anything listening on their bus sees them: code 5
// and the payload, once a frame; and how the bus routes them: to no copy, since a copy would
// only ignore them.

#include "sync_fixture.h"

#include <QRegularExpression>

#include <map>

namespace vantor::test {
namespace {

const QString kSending = QStringLiteral("Sending");
constexpr size_t kTwoWrapsAt25p = 50;

// Whether a match rule as the bus holds it ("type='signal',member='SyncMessage',...") hands over
// a signal with this member sent by `sender` on the copies' path and interface. A destination or
// a string argument never matches these broadcasts of numbers; keys not known here count as
// matching, so that only a rule that surely excludes the signal passes for excluding it.
bool RuleMatches(const QString& rule, const QString& member, const QString& sender)
{
    static const QRegularExpression key_value(QStringLiteral("(\\w+)='([^']*)'"));
    const QString path = QString::fromLatin1(kSyncPath);
    for (auto pairs = key_value.globalMatch(rule); pairs.hasNext();) {
        const QRegularExpressionMatch pair = pairs.next();
        const QString key = pair.captured(1), value = pair.captured(2);
        bool holds = true;
        if (key == u"type")
            holds = value == u"signal";
        else if (key == u"interface")
            holds = value == QLatin1String(kSyncInterface);
        else if (key == u"member")
            holds = value == member;
        else if (key == u"path")
            holds = value == path;
        else if (key == u"path_namespace")
            holds = value == u"/" || value == path || path.startsWith(value + u'/');
        else if (key == u"sender")
            holds = value == sender;
        else if (key == u"destination" || key.startsWith(u"arg"))
            holds = false;
        if (!holds)
            return false;
    }
    return true;
}

class PositionsTest : public SyncTest {
protected:
    // The payloads of the positions that came from the copy's process, in order of arrival.
    std::vector<qint64> PositionsOf(const CopyProcess& copy)
    {
        std::vector<qint64> payloads;
        for (const HeardMessage& position : client_->positions()) {
            auto [known, added] = process_of_.try_emplace(position.sender, 0);
            if (added)
                known->second = client_->ProcessOf(position.sender);
            if (known->second == copy.pid() && position.code == kPositionCode)
                payloads.push_back(position.payload);
        }
        return payloads;
    }

    std::map<QString, qint64> process_of_;  // bus connection to process id, as the bus said
};

TEST_F(PositionsTest, AListenerSeesEveryCopysPositionOnceAFrameAndTheBusHandsItToNoCopy)
{
    CopyProcess& first = LaunchNumbered();
    CopyProcess& second = LaunchNumbered();
    for (CopyProcess* copy : {&first, &second})
        ASSERT_TRUE(copy->WaitForCount(kSending, 1, kSendingBound_ms));
    ASSERT_TRUE(SpinUntil(
        [&] { return PositionsOf(first).size() >= kTwoWrapsAt25p && PositionsOf(second).size() >= kTwoWrapsAt25p; },
        kSendingBound_ms))
        << "positions heard: " << client_->positions().size();

    // At 25p the frame counter wraps at 25; the number (No 1: 0) sits from bit 6 up.
    for (CopyProcess* copy : {&first, &second}) {
        const qint64 number = copy == &first ? 0 : 1;
        const std::vector<qint64> payloads = PositionsOf(*copy);
        for (size_t i = 0; i < payloads.size(); ++i) {
            ASSERT_EQ(payloads[i] / 64, number) << "position " << i << " of No " << number + 1;
            if (i > 0) {
                ASSERT_EQ(payloads[i] % 64, (payloads[i - 1] % 64 + 1) % 25)
                    << "position " << i << " of No " << number + 1 << ": a frame's position lost or repeated";
            }
        }
    }

    // Every connection of a copy hears the copies' message and none the positions.
    const QString a_position_sender = client_->positions().front().sender;
    const QMap<QString, QStringList> rules = client_->MatchRules();
    ASSERT_FALSE(rules.isEmpty()) << "the bus gave no match rules";
    for (CopyProcess* copy : {&first, &second}) {
        bool hears_messages = false;
        for (auto connection = rules.begin(); connection != rules.end(); ++connection) {
            if (client_->ProcessOf(connection.key()) != copy->pid())
                continue;
            for (const QString& rule : connection.value()) {
                hears_messages = hears_messages || RuleMatches(rule, QString::fromLatin1(kSyncMember), QString());
                EXPECT_FALSE(RuleMatches(rule, QString::fromLatin1(kPositionMember), a_position_sender))
                    << "copy " << copy->pid() << " is handed the positions by " << rule.toStdString();
            }
        }
        EXPECT_TRUE(hears_messages) << "copy " << copy->pid() << " no longer hears the copies' message";
    }
}

}  // namespace
}  // namespace vantor::test
