#pragma once
// The test's own connection to the copies' bus: it posts the copies' message in any shape, well
// formed or not, hears every message the copies post and every frame position they send, and
// asks the bus what it delivers to whom.

#include <QDBusConnection>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QDBusMessage;

namespace vantor::test {

// Where the copies' message travels: the name the copies agree on, as a bus path, interface
// and signal.
inline constexpr char kSyncPath[] = "/Kelo/UK/NDI/VTR";
inline constexpr char kSyncInterface[] = "Kelo.UK.NDI.VTR";
inline constexpr char kSyncMember[] = "SyncMessage";
inline constexpr char kPositionMember[] = "FramePosition";

// Codes of the copies' message.
inline constexpr quint64 kStartStopCode = 1;
inline constexpr quint64 kAnnounceCode = 2;
inline constexpr quint64 kReplyCode = 3;
inline constexpr quint64 kPositionCode = 5;

struct HeardMessage {
    quint64 code;
    qint64 payload;
    QString sender;
};

class BusClient : public QObject {
    Q_OBJECT

public:
    explicit BusClient(const QString& address);
    ~BusClient() override;

    bool connected() const { return connected_; }
    QString name() const { return bus_.baseService(); }

    // A well-formed message: code unsigned, payload signed, both 64 bits.
    void Post(quint64 code, qint64 payload) const;
    // The signal with these arguments, whatever their number and types, on the given path.
    void PostRaw(const QList<QVariant>& arguments, const QString& path = QString::fromLatin1(kSyncPath)) const;

    // Every well-formed message the copies posted since the client connected.
    const std::vector<HeardMessage>& heard() const { return heard_; }
    // Every well-formed frame position since the client connected.
    const std::vector<HeardMessage>& positions() const { return positions_; }
    // Every connection's match rules as the bus holds them: what it delivers to whom.
    QMap<QString, QStringList> MatchRules() const;

    // Announces a process that is no copy and waits for `copies` replies. Each copy replies
    // only after it has handled everything that reached it before: so when this returns, every
    // copy has dealt with every message posted earlier. The reply payloads, in order of arrival.
    std::optional<std::vector<qint64>> Barrier(size_t copies, int timeout_ms);

    // Runs `reaction` at once, inside the delivery, when the next copy announces itself.
    void ReactToNextAnnouncement(std::function<void()> reaction) { on_announcement_ = std::move(reaction); }

private slots:
    void OnSignal(const QDBusMessage& message);
    void OnPosition(const QDBusMessage& message);

private:
    // The message as a code and payload when it has their shape and is not the client's own.
    std::optional<HeardMessage> WellFormed(const QDBusMessage& message) const;

    QDBusConnection bus_;
    bool connected_ = false;
    std::vector<HeardMessage> heard_;
    std::vector<HeardMessage> positions_;
    std::function<void()> on_announcement_;
};

}  // namespace vantor::test
