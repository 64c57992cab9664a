#pragma once
// A control for tests only: when NDIVANTOR_TEST_CONTROL=1 is set, lines on standard input play
// the parts of the window that the copies' synchronisation reacts to. Operators see nothing of
// it. Commands: "master on|off", "slave on|off", "start", "stop", "format <resolution menu id>",
// "rate <frame-rate menu id>", "exit".

#include <QByteArray>
#include <QList>
#include <QObject>

namespace vantor {

class Engine;
class InstanceSync;

class TestControl : public QObject {
    Q_OBJECT

public:
    TestControl(Engine& engine, InstanceSync& sync, QObject* parent = nullptr);

private:
    void Run(const QList<QByteArray>& words);

    Engine& engine_;
    InstanceSync& sync_;
};

}  // namespace vantor
