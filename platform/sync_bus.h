#pragma once
// The message between copies on one machine, carried as a signal on the D-Bus session bus:
// every copy subscribes, the sender receives its own, delivery is ordered and asynchronous and
// lands on the thread this object lives on (the user-interface thread); posting never waits.
// The code is sent unsigned and the payload signed, both 64 bits wide (pointer width here).
// The frame positions travel beside it as a signal of their own (PositionPoster).

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
// The frame positions' own signal, which no copy subscribes to.
inline constexpr char kPositionMember[] = "FramePosition";

// The bus name a copy holds while it has number `instance_number`: "Kelo.UK.NDI.VTR.No3" for
// number 2, shown as No 3.
QString NumberName(int32_t instance_number);

class SyncBus : public QObject {
    Q_OBJECT

public:
    explicit SyncBus(QObject* parent = nullptr);

    // Subscribes on the session bus; false when none is reachable (the copy then runs alone).
    bool Connect();
    // Posts to every copy. Any thread; returns at once.
    void Post(uint32_t code, intptr_t payload) const;
    // Asks the bus for the number's name without queueing for it; numberHeldElsewhere follows
    // when another connection holds it. Returns at once.
    void ClaimNumber(int32_t instance_number);

signals:
    // One well-formed message, in the order posted.
    void received(quint64 code, qint64 payload);
    // The number's name belongs to another copy: that copy took the number first.
    void numberHeldElsewhere(int32_t instance_number);

private slots:
    void OnSignal(const QDBusMessage& message);

private:
    QDBusConnection bus_;
    bool connected_ = false;
};

}  // namespace vantor
