#include "platform/sync_bus.h"

#include <QDBusMessage>
#include <QMetaType>

namespace vantor {

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

QString SyncBus::own_name() const { return connected_ ? bus_.baseService() : QString(); }

// Messages of another shape (other argument counts or types) change nothing.
void SyncBus::OnSignal(const QDBusMessage& message)
{
    const QList<QVariant> args = message.arguments();
    if (args.size() != 2 || args[0].metaType().id() != QMetaType::ULongLong ||
        args[1].metaType().id() != QMetaType::LongLong)
        return;
    emit received(args[0].toULongLong(), args[1].toLongLong(), message.service());
}

}  // namespace vantor
