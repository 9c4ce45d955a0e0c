// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QProcess>
#include <QStringList>

#include <functional>

namespace pelmora {

// A session dbus-daemon of our own, so tests never touch the user's bus; it
// is stopped by PID (with whatever it activated) on stop() or destruction.
class PrivateBus {
public:
    PrivateBus() = default;
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    // How the daemon runs: its configuration (the stock session bus when
    // empty), and what its child process does before it starts (such as
    // taking on another user's identity).
    struct Launch {
        QStringList configuration;
        std::function<void()> childModifier;
    };

    // Services the bus activates inherit `environment`. False when no address came within 5 s.
    bool start(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
               const Launch &launch = {});
    void stop();

    bool isRunning() const { return m_daemon.state() == QProcess::Running; }
    QString address() const { return m_address; }
    QString errorString() const { return m_error; }

private:
    QProcess m_daemon;
    QString m_address;
    QString m_error;
};

} // namespace pelmora
