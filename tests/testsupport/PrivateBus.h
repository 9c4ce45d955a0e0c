#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

namespace pelmora {

// A session dbus-daemon of our own, so that tests never touch the user's bus.
// It is stopped by its PID (with anything it activated) on stop() or destruction.
//
//   PrivateBus bus;
//   if (!bus.start())
//       QSKIP(qPrintable(bus.errorString()));
//   auto connection = QDBusConnection::connectToBus(bus.address(), "test");
class PrivateBus {
public:
    PrivateBus() = default;
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    // Starts `dbus-daemon --session`. Services it activates (a settings daemon,
    // say) inherit `environment`, so set HOME and XDG_* there, not later.
    // False when the daemon is missing or printed no address in time.
    bool start(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(), int timeoutMs = 5000);
    void stop();

    bool isRunning() const { return m_daemon.state() == QProcess::Running; }
    QString address() const { return m_address; }
    qint64 pid() const { return m_daemon.processId(); }
    QString errorString() const { return m_error; }

private:
    QProcess m_daemon;
    QString m_address;
    QString m_error;
};

} // namespace pelmora
