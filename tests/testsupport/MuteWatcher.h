// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusContext>
#include <QObject>

// An org.kde.StatusNotifierWatcher that takes every registration and never
// answers, as a hung panel does. Export it with ExportScriptableContents at
// /StatusNotifierWatcher and own the watcher's name on its connection.
class MuteWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
public:
    int calls = 0;
public Q_SLOTS:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString &)
    {
        ++calls;
        setDelayedReply(true); // and no reply ever follows
    }
};
