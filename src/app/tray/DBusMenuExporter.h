// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/tray/DBusMenuTypes.h"

#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QString>

namespace pelmora {

// A flat menu of plain items published as com.canonical.dbusmenu, the menu
// protocol that StatusNotifierItem hosts read. Item 0 is the root; the items
// are numbered from 1 in the order they were added. Export it with
// QDBusConnection::registerObject(path, exporter); its DBusMenuAdaptor child
// carries the interface.
class DBusMenuExporter : public QObject, protected QDBusContext {
    Q_OBJECT

public:
    explicit DBusMenuExporter(QObject *parent = nullptr);

    // Adds an item shown exactly as `label` reads (underscores are not mnemonics).
    int addItem(const QString &label);

    uint revision() const { return m_revision; }
    bool contains(int id) const;

    // The subtree at `parentId`, `depth` levels deep (-1: all), with only the
    // named properties (none named: all). `ok` is false for an unknown id.
    DBusMenuLayoutItem layout(int parentId, int depth, const QStringList &propertyNames, bool *ok) const;
    DBusMenuItemList groupProperties(const QList<int> &ids, const QStringList &propertyNames) const;
    QVariantMap properties(int id, const QStringList &propertyNames = {}) const;

    // Handles an event from the host; false for an unknown id.
    bool handleEvent(int id, const QString &eventId);

Q_SIGNALS:
    void itemClicked(int id);

private:
    struct Entry {
        int id;
        QString label;
    };
    QList<Entry> m_entries;
    uint m_revision = 1;

    friend class DBusMenuAdaptor; // answers calls with errors through our QDBusContext
};

} // namespace pelmora
