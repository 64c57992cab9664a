#pragma once
// A control for tests only: when NDIVANTOR_TEST_CONTROL=1 is set, lines on standard input play
// the parts of the window that the copies' synchronisation reacts to. Operators see nothing of
// it. Commands: "master on|off", "slave on|off" (answered with "Role master on" and the like once
// taken), "start", "stop", "format <resolution menu id>",
// "rate <frame-rate menu id>", "overlay <path of a picture or of the first of a numbered run>"
// (answered with "Overlay on" once it is, or "Overlay not loaded"), "exit".

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

namespace vantor {

class CopyControl;
class Engine;
class InstanceSync;

class TestControl : public QObject {
    Q_OBJECT

public:
    // `say` prints a line of the program's output.
    TestControl(Engine& engine, InstanceSync& sync, CopyControl& control, void (*say)(const QString& line),
                QObject* parent = nullptr);

private:
    void Run(const QList<QByteArray>& words);
    void LoadOverlay(const QString& path);

    Engine& engine_;
    InstanceSync& sync_;
    CopyControl& control_;
    void (*say_)(const QString& line);
};

}  // namespace vantor
