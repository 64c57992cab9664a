#include "bus_client.h"

#include "support/spin_until.h"

#include <QDBusMetaType>
#include <QDBusMessage>
#include <QDBusReply>
#include <QMetaType>
#include <QSet>

#include <unistd.h>

namespace vantor::test {
namespace {

const QString kConnectionName = QStringLiteral("sync-test-client");

}  // namespace

BusClient::BusClient(const QString& address) : bus_(QDBusConnection::connectToBus(address, kConnectionName))
{
    qDBusRegisterMetaType<QMap<QString, QStringList>>();  // the bus's answer to MatchRules
    const auto subscribe = [this](const char* member, const char* slot) {
        return bus_.connect(QString(), QString::fromLatin1(kSyncPath), QString::fromLatin1(kSyncInterface),
                            QString::fromLatin1(member), this, slot);
    };
    connected_ = bus_.isConnected() && subscribe(kSyncMember, SLOT(OnSignal(QDBusMessage))) &&
                 subscribe(kPositionMember, SLOT(OnPosition(QDBusMessage)));
}

BusClient::~BusClient() { QDBusConnection::disconnectFromBus(kConnectionName); }

void BusClient::Post(quint64 code, qint64 payload) const { PostRaw({QVariant(code), QVariant(payload)}); }

void BusClient::PostRaw(const QList<QVariant>& arguments, const QString& path) const
{
    QDBusMessage message =
        QDBusMessage::createSignal(path, QString::fromLatin1(kSyncInterface), QString::fromLatin1(kSyncMember));
    message.setArguments(arguments);
    bus_.send(message);
}

std::optional<std::vector<qint64>> BusClient::Barrier(size_t copies, int timeout_ms)
{
    const size_t first = heard_.size();
    Post(kAnnounceCode, ::getpid());  // the test's own id: no copy takes it for its own
    std::vector<qint64> replies;
    const bool all_replied = SpinUntil(
        [&] {
            replies.clear();
            QSet<QString> repliers;
            for (size_t i = first; i < heard_.size(); ++i)
                if (heard_[i].code == kReplyCode && !repliers.contains(heard_[i].sender)) {
                    repliers.insert(heard_[i].sender);
                    replies.push_back(heard_[i].payload);
                }
            return replies.size() >= copies;
        },
        timeout_ms);
    if (!all_replied)
        return std::nullopt;
    return replies;
}

QMap<QString, QStringList> BusClient::MatchRules() const
{
    const QDBusReply<QMap<QString, QStringList>> rules = bus_.call(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus.Debug.Stats"), QStringLiteral("GetAllMatchRules")));
    return rules.value();
}

std::optional<HeardMessage> BusClient::WellFormed(const QDBusMessage& message) const
{
    const QList<QVariant> args = message.arguments();
    if (message.service() == bus_.baseService() || args.size() != 2 ||
        args[0].metaType().id() != QMetaType::ULongLong || args[1].metaType().id() != QMetaType::LongLong)
        return std::nullopt;
    return HeardMessage{args[0].toULongLong(), args[1].toLongLong(), message.service()};
}

void BusClient::OnSignal(const QDBusMessage& message)
{
    const std::optional<HeardMessage> heard = WellFormed(message);
    if (!heard)
        return;
    heard_.push_back(*heard);
    if (heard->code == kAnnounceCode && on_announcement_)
        std::exchange(on_announcement_, {})();
}

void BusClient::OnPosition(const QDBusMessage& message)
{
    if (const std::optional<HeardMessage> heard = WellFormed(message))
        positions_.push_back(*heard);
}

}  // namespace vantor::test
