// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QList>
#include <QString>
#include <QStringList>

#include "ProcessSignal.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The session bus as a way to reach running applications: its connections,
// the process each one came from by the bus's account, and the actions a
// GApplication exports there (org.gtk.Actions). Every call is asynchronous:
// an application may answer late or never (one that asks the user first
// answers after the user did), and the main thread never waits for it.
// Nothing is ever bus-activated.
namespace pelmora::platform {

// One connection to the bus.
struct BusConnection {
    QString uniqueName; // ":1.42": never reused while the bus runs
    QStringList names; // its well-known names, sorted
    std::optional<quint32> pid; // of the process that connected, in the bus's pid namespace
};

// What the bus's credentials of a connection say beyond a pid.
struct BusProcess {
    bool answered = false; // the bus gave credentials at all
    ProcessHandle handle; // its ProcessFD: a pidfd of the process that connected; invalid when not offered
};

struct ActionDescription {
    bool enabled = false;
    QString parameterType; // a D-Bus signature; empty when the action takes none
};

class SessionBusActions {
public:
    // The session bus, when the environment names one; never starts one.
    static std::optional<SessionBusActions> connect();

    // Every connection, with its names and process. `done` runs once,
    // later, on this thread, with what could be learnt (nothing when the bus
    // fails).
    void listConnections(std::function<void(QList<BusConnection>)> done) const;

    // The credentials of `uniqueName` (GetConnectionCredentials). `done`
    // runs once, later, on this thread.
    void processOf(const QString &uniqueName, int timeoutMs, std::function<void(BusProcess)> done) const;

    // The description of `action` in the org.gtk.Actions object at
    // `objectPath` of `uniqueName`; nothing when there is none or no answer
    // came within `timeoutMs`. `done` runs once, later, on this thread.
    void describeAction(const QString &uniqueName, const QString &objectPath, const QString &action, int timeoutMs,
                        std::function<void(std::optional<ActionDescription>)> done) const;

    // Activates `action` without a parameter; the reply is never awaited.
    void activateAction(const QString &uniqueName, const QString &objectPath, const QString &action) const;

    // The unix socket the bus listens on, as connect() reached it ('@' first
    // for an abstract name); empty when the address names none.
    const std::string &socketName() const { return m_socketName; }

private:
    SessionBusActions(QDBusConnection bus, std::string socketName)
        : m_bus(std::move(bus)), m_socketName(std::move(socketName))
    {
    }
    QDBusConnection m_bus;
    std::string m_socketName;
};

// The socket a client reaches through the bus address `address` (the first
// of its unix path= or abstract= entries, unescaped), or `runtimeDir`/bus
// when the address is empty; empty when neither names one.
std::string busSocketName(std::string_view address, std::string_view runtimeDir);

} // namespace pelmora::platform
