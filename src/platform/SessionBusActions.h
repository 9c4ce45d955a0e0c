// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The session bus as a way to reach running applications: which process owns
// which well-known name, and the actions a GApplication exports there
// (org.gtk.Actions). Every call is asynchronous: an application may answer
// late or never (one that asks the user first answers after the user did),
// and the main thread never waits for it. Nothing is ever bus-activated.
namespace pelmora::platform {

// One connection that owns well-known names.
struct BusPeer {
    QString uniqueName;   // ":1.42": never reused while the bus runs
    QStringList names;    // its well-known names, sorted
    quint32 pid = 0;
};

struct ActionDescription {
    bool enabled = false;
    QString parameterType; // a D-Bus signature; empty when the action takes none
};

class SessionBusActions {
public:
    // The session bus, when the environment names one; never starts one.
    static std::optional<SessionBusActions> connect();

    // Every connection owning a well-known name, with its process. `done`
    // runs once, later, on this thread, with what could be learnt (nothing
    // when the bus fails).
    void listPeers(std::function<void(QList<BusPeer>)> done) const;

    // The description of `action` in the org.gtk.Actions object at
    // `objectPath` of `uniqueName`; nothing when there is none or no answer
    // came within `timeoutMs`. `done` runs once, later, on this thread.
    void describeAction(const QString &uniqueName, const QString &objectPath, const QString &action,
                        int timeoutMs, std::function<void(std::optional<ActionDescription>)> done) const;

    // Activates `action` without a parameter; the reply is never awaited.
    void activateAction(const QString &uniqueName, const QString &objectPath, const QString &action) const;

private:
    explicit SessionBusActions(QDBusConnection bus) : m_bus(std::move(bus)) {}
    QDBusConnection m_bus;
};

} // namespace pelmora::platform
