#pragma once
// A copy under systemd (Type=notify): ready once on air (the loop has sent a frame), its
// one-line status kept current, alive while its frames go out on time (the send loop says so
// itself) or while it is stopped on purpose, and stopping once it shuts down. Outside a
// service it tells nobody anything.

#include "platform/service_notifier.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace vantor {

class CopyControl;
class Engine;

class ServiceLink : public QObject {
    Q_OBJECT

public:
    // Before the engine starts: it takes the engine's on-time hook.
    ServiceLink(Engine& engine, const CopyControl& control, QObject* parent = nullptr);

    void Stopping();

private:
    void Refresh();

    Engine& engine_;
    const CopyControl& control_;
    ServiceNotifier notifier_;
    QTimer timer_;
    QString status_;
    bool ready_ = false;
    bool stopping_ = false;
};

}  // namespace vantor
