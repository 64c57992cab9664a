#pragma once
// The message between copies on one machine, carried as a signal on the D-Bus session bus:
// every copy subscribes, the sender receives its own, delivery is ordered and asynchronous and
// lands on the thread this object lives on (the user-interface thread); posting never waits.
// The code is sent unsigned and the payload signed, both 64 bits wide (pointer width here).

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <cstdint>

class QDBusMessage;

namespace vantor {

// Derived from the registered message name "Kelo-UK-NDI-VTR".
inline constexpr char kSyncPath[] = "/Kelo/UK/NDI/VTR";
inline constexpr char kSyncInterface[] = "Kelo.UK.NDI.VTR";
inline constexpr char kSyncMember[] = "SyncMessage";

class SyncBus : public QObject {
    Q_OBJECT

public:
    explicit SyncBus(QObject* parent = nullptr);

    // Subscribes on the session bus; false when none is reachable (the copy then runs alone).
    bool Connect();
    // Posts to every copy. Any thread; returns at once.
    void Post(uint32_t code, intptr_t payload) const;
    // This copy's unique name on the bus; empty when not connected.
    QString own_name() const;

signals:
    // One well-formed message, in the order posted; `sender` is the posting copy's bus name.
    void received(quint64 code, qint64 payload, const QString& sender);

private slots:
    void OnSignal(const QDBusMessage& message);

private:
    QDBusConnection bus_;
    bool connected_ = false;
};

}  // namespace vantor
