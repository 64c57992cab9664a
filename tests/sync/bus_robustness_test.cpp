// Messages that are not the copies' own (wrong payloads, unknown codes, wrong argument types or
// counts, another path) reach the copies from a test client on their bus and change nothing.
// Each batch ends with a barrier, so every copy has handled the whole batch before the checks.

#include "sync_fixture.h"

#include <QDBusVariant>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace vantor::test {
namespace {

const QString kSending = QStringLiteral("Sending");
const QString kStopped = QStringLiteral("Stopped");
constexpr qint64 kHighWord = qint64{1} << 32;

QVariant U64(quint64 value) { return QVariant(value); }
QVariant I64(qint64 value) { return QVariant(value); }

// Messages a careless reader could take for the order code 1 with `order` (0 stop, 1 start):
// by cutting the code or payload to 32 bits, by converting types, by defaulting a missing
// argument, or by taking a payload other than 0 and 1 for true or false.
std::vector<QList<QVariant>> LookAlikesOfTheOrder(qint64 order)
{
    return {
        {U64(1), I64(order + kHighWord)},
        {U64(1), I64(order == 0 ? std::numeric_limits<qint64>::min() : kHighWord * 16 + 1)},
        {U64(1), I64(order == 0 ? -1 : 2)},
        {U64(1 + (quint64{1} << 32)), I64(order)},
        {U64(std::numeric_limits<quint64>::max()), I64(order)},
        {QVariant(qint32(1)), QVariant(qint32(order))},
        {QVariant(quint32(1)), I64(order)},
        {U64(1), QVariant(qint32(order))},
        {U64(1), QVariant(quint64(order))},
        {I64(1), I64(order)},
        {QVariant(QStringLiteral("1")), I64(order)},
        {U64(1), QVariant(QString::number(order))},
        {U64(1), QVariant(double(order))},
        {U64(1), QVariant::fromValue(QDBusVariant(I64(order)))},
        {U64(1), I64(order), I64(order)},
        {U64(1)},
        {},
    };
}

// Unknown codes, and position messages that no copy could have sent (negative, or cut to 32
// bits they would name copy No 1's number and make it give its number up).
std::vector<QList<QVariant>> UnknownCodesAndImpossiblePositions()
{
    std::vector<QList<QVariant>> messages;
    for (quint64 code : {quint64{0}, quint64{4}, quint64{6}, quint64{99}, quint64{5} + (quint64{1} << 32)})
        for (qint64 payload : {qint64{0}, qint64{1}})
            messages.push_back({U64(code), I64(payload)});
    messages.push_back({U64(5), I64(-1)});
    messages.push_back({U64(5), I64(kHighWord)});
    messages.push_back({U64(5), QVariant(qint32(0))});
    return messages;
}

class BusRobustnessTest : public SyncTest {
protected:
    void PostAll(const std::vector<QList<QVariant>>& messages)
    {
        for (const QList<QVariant>& message : messages)
            client_->PostRaw(message);
    }

    // Once every copy has handled the batch posted since `heard_before`: each still holds its
    // number and none began to choose a new one (it would have announced itself).
    void ExpectNumbersUnchanged(size_t heard_before)
    {
        const auto replies = client_->Barrier(copies_.size(), kSendingBound_ms);
        ASSERT_TRUE(replies) << "a copy stopped answering";
        std::vector<qint64> numbers = *replies;
        std::sort(numbers.begin(), numbers.end());
        EXPECT_EQ(numbers, (std::vector<qint64>{0, 1}));
        const auto& heard = client_->heard();
        EXPECT_TRUE(std::none_of(heard.begin() + qsizetype(heard_before), heard.end(),
                                 [](const HeardMessage& message) { return message.code == kAnnounceCode; }))
            << "a copy gave its number up";
    }
};

TEST_F(BusRobustnessTest, LookAlikeOrdersAndUnknownCodesNeitherStopNorStartACopy)
{
    CopyProcess& first = LaunchNumbered();
    CopyProcess& second = LaunchNumbered();
    for (CopyProcess* copy : {&first, &second})
        ASSERT_TRUE(copy->WaitForCount(kSending, 1, kSendingBound_ms));

    size_t heard_before = client_->heard().size();
    PostAll(LookAlikesOfTheOrder(0));
    PostAll(UnknownCodesAndImpossiblePositions());
    const QString other_path = QStringLiteral("/Kelo/UK/NDI/VTR/Other");
    client_->PostRaw({U64(1), I64(0)}, other_path);
    ExpectNumbersUnchanged(heard_before);
    for (CopyProcess* copy : {&first, &second}) {
        EXPECT_EQ(copy->Count(kStopped), 0) << "copy " << copy->pid() << " took a look-alike for a stop";
        EXPECT_EQ(copy->Title(), TitleLine(copy == &first ? 1 : 2));
    }

    // The real stop, then the look-alikes of a start.
    client_->Post(kStartStopCode, 0);
    for (CopyProcess* copy : {&first, &second})
        ASSERT_TRUE(copy->WaitForCount(kStopped, 1, kSendingBound_ms)) << "the real stop was not followed";
    heard_before = client_->heard().size();
    PostAll(LookAlikesOfTheOrder(1));
    PostAll(UnknownCodesAndImpossiblePositions());
    client_->PostRaw({U64(1), I64(1)}, other_path);
    ExpectNumbersUnchanged(heard_before);
    for (CopyProcess* copy : {&first, &second})
        EXPECT_EQ(copy->Count(kSending), 1) << "copy " << copy->pid() << " took a look-alike for a start";

    client_->Post(kStartStopCode, 1);
    for (CopyProcess* copy : {&first, &second})
        EXPECT_TRUE(copy->WaitForCount(kSending, 2, kSendingBound_ms)) << "the real start was not followed";
}

// The client answers a new copy's announcement at once: a real reply that number 0 is taken,
// after look-alike replies that would also take number 1. The copy must take 1.
TEST_F(BusRobustnessTest, LookAlikeRepliesTakeNoNumber)
{
    client_->ReactToNextAnnouncement([this] {
        for (const QList<QVariant>& reply : std::vector<QList<QVariant>>{
                 {U64(3), I64(1 + kHighWord)},
                 {U64(3), I64(1 - kHighWord)},
                 {U64(3), I64(33)},
                 {U64(3 + (quint64{1} << 32)), I64(1)},
                 {QVariant(quint32(3)), I64(1)},
                 {U64(3), QVariant(qint32(1))},
                 {U64(3), QVariant(quint64(1))},
                 {U64(3), I64(1), I64(1)},
                 {QVariant(QStringLiteral("3")), QVariant(QStringLiteral("1"))},
             })
            client_->PostRaw(reply);
        client_->Post(kReplyCode, 0);
    });
    CopyProcess& copy = LaunchNumbered();
    EXPECT_EQ(copy.Title(), TitleLine(2)) << "No 1 means the replies came too late, No 3 or more that a look-alike counted";
}

}  // namespace
}  // namespace vantor::test
