#pragma once
// Waiting on what the headless program prints.

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>

namespace vantor::test {

// Waits until the program has printed the line on its standard output, or the time is up.
inline bool WaitForLine(QProcess& program, const QByteArray& line, int timeout_ms)
{
    QElapsedTimer timer;
    timer.start();
    QByteArray seen;
    while (timer.elapsed() < timeout_ms) {
        program.waitForReadyRead(100);
        seen += program.readAllStandardOutput();
        if (seen.split('\n').contains(line))
            return true;
    }
    return false;
}

}  // namespace vantor::test
