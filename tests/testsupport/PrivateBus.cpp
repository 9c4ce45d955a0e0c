// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PrivateBus.h"

#include "ProcessTree.h"

#include <QDeadlineTimer>

namespace pelmora {

PrivateBus::~PrivateBus()
{
    stop();
}

bool PrivateBus::start(const QProcessEnvironment &environment, const Launch &launch)
{
    stop();
    QProcessEnvironment env = environment;
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    m_daemon.setProcessEnvironment(env);
    m_daemon.setChildProcessModifier(launch.childModifier ? launch.childModifier : std::function<void()>([] {}));
    const QStringList configuration = launch.configuration.isEmpty() ? QStringList{QStringLiteral("--session")}
                                                                     : launch.configuration;
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   configuration + QStringList{QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    const int timeoutMs = 5000;
    const QDeadlineTimer deadline(timeoutMs);
    while (m_daemon.waitForStarted(timeoutMs) && !m_daemon.canReadLine() && !deadline.hasExpired())
        m_daemon.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (m_address.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon gave no address: %1 %2")
                      .arg(m_daemon.errorString(), QString::fromLocal8Bit(m_daemon.readAllStandardError()).trimmed());
        stop();
    }
    return !m_address.isEmpty();
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
