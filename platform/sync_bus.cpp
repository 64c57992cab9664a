#include "platform/sync_bus.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMetaType>

namespace vantor {
namespace {

// RequestName's flag and answer, from the bus's own interface.
constexpr uint kDoNotQueue = 4;
constexpr uint kNameExists = 3;

}  // namespace

QString NumberName(int32_t instance_number)
{
    return QStringLiteral("%1.No%2").arg(QLatin1String(kSyncInterface)).arg(instance_number + 1);
}

SyncBus::SyncBus(QObject* parent) : QObject(parent), bus_(QDBusConnection::sessionBus()) {}

bool SyncBus::Connect()
{
    if (!bus_.isConnected())
        return false;
    connected_ = bus_.connect(QString(), QString::fromLatin1(kSyncPath), QString::fromLatin1(kSyncInterface),
                              QString::fromLatin1(kSyncMember), this, SLOT(OnSignal(QDBusMessage)));
    return connected_;
}

void SyncBus::Post(uint32_t code, intptr_t payload) const
{
    if (!connected_)
        return;
    QDBusMessage message = QDBusMessage::createSignal(
        QString::fromLatin1(kSyncPath), QString::fromLatin1(kSyncInterface), QString::fromLatin1(kSyncMember));
    message << quint64{code} << qint64{payload};
    bus_.send(message);
}

void SyncBus::ClaimNumber(int32_t instance_number)
{
    if (!connected_)
        return;
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
    request << NumberName(instance_number) << kDoNotQueue;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(request), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, instance_number](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<uint> reply = *call;
        if (reply.isValid() && reply.value() == kNameExists)
            emit numberHeldElsewhere(instance_number);
    });
}

// Messages of another shape (other argument counts or types) change nothing.
void SyncBus::OnSignal(const QDBusMessage& message)
{
    const QList<QVariant> args = message.arguments();
    if (args.size() != 2 || args[0].metaType().id() != QMetaType::ULongLong ||
        args[1].metaType().id() != QMetaType::LongLong)
        return;
    emit received(args[0].toULongLong(), args[1].toLongLong());
}

}  // namespace vantor
