#pragma once
// A session bus of the test's own: a dbus-daemon child that lives as long as this object, so
// that copies of other tests or of the desktop never answer this test's copies.

#include <QProcess>
#include <QString>

namespace vantor::test {

class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();  // ends the daemon
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // The address for DBUS_SESSION_BUS_ADDRESS; empty when the daemon did not start.
    const QString& address() const { return address_; }
    qint64 pid() const { return daemon_.processId(); }

private:
    QProcess daemon_;
    QString address_;
};

}  // namespace vantor::test
