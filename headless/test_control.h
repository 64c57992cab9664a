#pragma once
// A control for tests only: when NDIVANTOR_TEST_CONTROL=1 is set, lines on standard input play
// the parts of the window that the copies' synchronisation reacts to. Operators see nothing of
// it. Commands: "master on|off", "slave on|off", "start", "stop", "format <resolution menu id>",
// "rate <frame-rate menu id>", "exit".

#include <QObject>

class QSocketNotifier;

namespace vantor {

class Engine;
class InstanceSync;

class TestControl : public QObject {
    Q_OBJECT

public:
    TestControl(Engine& engine, InstanceSync& sync, QObject* parent = nullptr);
    static bool Requested();

private:
    void ReadLine();
    void Run(const QByteArray& command);

    Engine& engine_;
    InstanceSync& sync_;
    QSocketNotifier* notifier_;  // owned through the Qt parent
    QByteArray pending_;
};

}  // namespace vantor
