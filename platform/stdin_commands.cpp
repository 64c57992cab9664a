#include "platform/stdin_commands.h"

#include <QSocketNotifier>

#include <unistd.h>

namespace vantor {

StdinCommands::StdinCommands(QObject* parent)
    : QObject(parent), notifier_(new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this))
{
    connect(notifier_, &QSocketNotifier::activated, this, &StdinCommands::ReadLine);
}

bool StdinCommands::Requested() { return qEnvironmentVariable("NDIVANTOR_TEST_CONTROL") == QLatin1String("1"); }

void StdinCommands::ReadLine()
{
    char buffer[256];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        notifier_->setEnabled(false);  // the test closed its end: nothing more will come
        return;
    }
    pending_.append(buffer, n);
    for (qsizetype end; (end = pending_.indexOf('\n')) >= 0;) {
        const QByteArray line = pending_.left(end).trimmed();
        pending_.remove(0, end + 1);
        emit command(line.split(' '));
    }
}

}  // namespace vantor
