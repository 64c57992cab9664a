// The frame positions of sending copies as anything listening on their bus sees them, and how
// the bus routes them: to no copy, since a copy would only ignore them.

#include "sync_fixture.h"

#include <QRegularExpression>

#include <map>
#include <set>

namespace vantor::test {
namespace {

// Whether a match rule as the bus holds it ("type='signal',member='SyncMessage',...") could hand
// over a signal with this member on the copies' path and interface: only a rule that names
// another type, path, interface or member surely does not.
bool RuleCouldMatch(const QString& rule, const QString& member)
{
    const std::map<QString, QString> signal{{QStringLiteral("type"), QStringLiteral("signal")},
                                            {QStringLiteral("path"), QString::fromLatin1(kSyncPath)},
                                            {QStringLiteral("interface"), QString::fromLatin1(kSyncInterface)},
                                            {QStringLiteral("member"), member}};
    static const QRegularExpression key_value(QStringLiteral("(\\w+)='([^']*)'"));
    for (auto pairs = key_value.globalMatch(rule); pairs.hasNext();) {
        const QRegularExpressionMatch pair = pairs.next();
        const auto key = signal.find(pair.captured(1));
        if (key != signal.end() && key->second != pair.captured(2))
            return false;
    }
    return true;
}

class PositionsTest : public SyncTest {};

TEST_F(PositionsTest, EachSendingCopysPositionReachesAListenerOnceAFrameAndNoCopy)
{
    for (int shown = 1; shown <= 2; ++shown)
        ASSERT_TRUE(LaunchNumbered().WaitForCount(QStringLiteral("Sending"), 1, kSendingBound_ms));
    // Two wraps of the frame counter at 25p from each, grouped by the connection that sent them.
    std::map<QString, std::vector<qint64>> payloads;
    ASSERT_TRUE(SpinUntil(
        [&] {
            payloads.clear();
            for (const HeardMessage& position : client_->positions())
                if (position.code == kPositionCode)
                    payloads[position.sender].push_back(position.payload);
            return payloads.size() == 2 && payloads.begin()->second.size() >= 50 &&
                   payloads.rbegin()->second.size() >= 50;
        },
        kSendingBound_ms))
        << "positions heard: " << client_->positions().size();
    std::set<qint64> numbers;
    for (const auto& [sender, of_sender] : payloads) {
        numbers.insert(of_sender.front() / 64);
        for (size_t i = 1; i < of_sender.size(); ++i) {
            ASSERT_EQ(of_sender[i] / 64, of_sender.front() / 64) << sender.toStdString() << " changed its number";
            ASSERT_EQ(of_sender[i] % 64, (of_sender[i - 1] % 64 + 1) % 25) << sender.toStdString() << ": a frame lost";
        }
    }
    EXPECT_EQ(numbers, (std::set<qint64>{0, 1})) << "the number, No 1 as 0, from bit 6 up";

    // Of the connections on the bus besides the test's own, the two copies' hear the copies'
    // message; none is handed the positions.
    int hearing_messages = 0;
    const QMap<QString, QStringList> rules = client_->MatchRules();
    for (auto connection = rules.begin(); connection != rules.end(); ++connection) {
        if (connection.key() == client_->name())
            continue;
        bool hears_messages = false;
        for (const QString& rule : connection.value()) {
            hears_messages = hears_messages || RuleCouldMatch(rule, QString::fromLatin1(kSyncMember));
            EXPECT_FALSE(RuleCouldMatch(rule, QString::fromLatin1(kPositionMember)))
                << connection.key().toStdString() << " is handed the positions by " << rule.toStdString();
        }
        hearing_messages += hears_messages;
    }
    EXPECT_EQ(hearing_messages, 2) << "each copy hears the copies' message";
}

}  // namespace
}  // namespace vantor::test
