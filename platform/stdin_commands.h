#pragma once
// Lines on standard input as commands, for tests only: with NDIVANTOR_TEST_CONTROL=1 a test
// steers a copy that runs as a real process. Operators see nothing of it.

#include <QByteArray>
#include <QList>
#include <QObject>

class QSocketNotifier;

namespace vantor {

class StdinCommands : public QObject {
    Q_OBJECT

public:
    explicit StdinCommands(QObject* parent = nullptr);
    // True when the test control was asked for.
    static bool Requested();

signals:
    // One line, split at blanks.
    void command(const QList<QByteArray>& words);

private:
    void ReadLine();

    QSocketNotifier* notifier_;  // owned through the Qt parent
    QByteArray pending_;
};

}  // namespace vantor
