#pragma once
// A control for tests only: when NDIVANTOR_TEST_CONTROL=1 is set, lines on standard input play
// the parts of the window that the copies' synchronisation reacts to. Operators see nothing of
// it. Commands: "master on|off", "slave on|off", "start", "stop", "format <resolution menu id>",
// "rate <frame-rate menu id>", "overlay <path of a picture or of the first of a numbered run>"
// (answered with "Overlay on" once it is, or "Overlay not loaded"), "exit".

#include <QObject>
#include <QString>

class QSocketNotifier;

namespace vantor {

class Engine;
class InstanceSync;
class OverlayCommand;
struct OverlayState;
struct PlaybackState;

class TestControl : public QObject {
    Q_OBJECT

public:
    // `say` prints a line of the program's output.
    TestControl(Engine& engine, InstanceSync& sync, OverlayState& overlay, PlaybackState& playback,
                void (*say)(const QString& line), QObject* parent = nullptr);
    static bool Requested();

private:
    void ReadLine();
    void Run(const QByteArray& command);

    Engine& engine_;
    InstanceSync& sync_;
    QSocketNotifier* notifier_;  // owned through the Qt parent
    OverlayCommand* overlay_;    // owned through the Qt parent
    QByteArray pending_;
};

}  // namespace vantor
