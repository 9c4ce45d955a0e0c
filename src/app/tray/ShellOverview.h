// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QObject>

#include <chrono>
#include <functional>

class QTimer;

namespace pelmora {

// GNOME Shell's Activities overview hides every window, and holds the pointer
// while it is open, so a panel opened from the tray item then is neither seen
// nor closed by a click outside. leaveThen() leaves the overview first, the
// way the shell itself does when an application is started from it, over
// org.gnome.Shell's OverviewActive property. Without GNOME Shell on the bus
// it only runs `done` (on the next turn of the event loop at the latest).
class ShellOverview : public QObject {
    Q_OBJECT

public:
    explicit ShellOverview(const QDBusConnection &bus, QObject *parent = nullptr);

    // Runs `done` once the overview is closed, or after `patience` if the
    // shell does not close it. A call while one waits replaces its `done`.
    void leaveThen(std::function<void()> done, std::chrono::milliseconds patience = std::chrono::milliseconds(1500));

private:
    void askActive(const std::function<void(bool active)> &answer);
    void finish();

    QDBusConnection m_bus;
    std::function<void()> m_done;
    QTimer *m_poll;
    QTimer *m_patience;
};

} // namespace pelmora
