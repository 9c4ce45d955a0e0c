#include "PrivateBus.h"

#include "ProcessTree.h"

#include <QDeadlineTimer>

#include <algorithm>

namespace pelmora {

PrivateBus::~PrivateBus()
{
    stop();
}

bool PrivateBus::start(const QProcessEnvironment &environment, int timeoutMs)
{
    stop();
    m_error.clear();
    QProcessEnvironment env = environment;
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    m_daemon.setProcessEnvironment(env);
    m_daemon.setProcessChannelMode(QProcess::SeparateChannels);
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    if (!m_daemon.waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("dbus-daemon cannot start: %1").arg(m_daemon.errorString());
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_daemon.canReadLine() && !deadline.hasExpired() && m_daemon.state() == QProcess::Running)
        m_daemon.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (m_address.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon printed no address: %1")
                      .arg(QString::fromLocal8Bit(m_daemon.readAllStandardError()).trimmed());
        stop();
        return false;
    }
    return true;
}

void PrivateBus::stop()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        ProcessTree::stop(m_daemon.processId());
        m_daemon.waitForFinished(3000);
    }
    m_address.clear();
}

} // namespace pelmora
