#pragma once
// SIGTERM and SIGINT as a Qt signal on the user-interface thread, so the program ends in the
// same orderly way as through its exit confirmation. The handler only writes one byte to a
// socket; everything else happens in the event loop.

#include <QObject>

class QSocketNotifier;

namespace vantor {

class TerminationSignals : public QObject {
    Q_OBJECT

public:
    // Installs the handlers; one instance per process.
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signal_number);

private:
    void Drain();

    QSocketNotifier* notifier_ = nullptr;  // owned through the Qt parent
};

}  // namespace vantor
