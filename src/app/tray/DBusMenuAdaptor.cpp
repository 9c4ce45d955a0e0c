// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/tray/DBusMenuAdaptor.h"

#include "app/tray/DBusMenuExporter.h"

namespace pelmora {

DBusMenuAdaptor::DBusMenuAdaptor(DBusMenuExporter *menu) : QDBusAbstractAdaptor(menu), m_menu(menu)
{
    setAutoRelaySignals(false);
}

// QtDBus keeps the call's context on the exported object, not on its adaptor.
void DBusMenuAdaptor::reject(const QString &why)
{
    if (m_menu->calledFromDBus())
        m_menu->sendErrorReply(QDBusError::InvalidArgs, why);
}

void DBusMenuAdaptor::unknownItem(int id)
{
    reject(QStringLiteral("no menu item %1").arg(id));
}

uint DBusMenuAdaptor::GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                                DBusMenuLayoutItem &layout)
{
    bool ok = false;
    layout = m_menu->layout(parentId, recursionDepth, propertyNames, &ok);
    if (!ok)
        unknownItem(parentId);
    return m_menu->revision();
}

QList<DBusMenuItem> DBusMenuAdaptor::GetGroupProperties(const QList<int> &ids, const QStringList &propertyNames)
{
    return m_menu->groupProperties(ids, propertyNames);
}

QDBusVariant DBusMenuAdaptor::GetProperty(int id, const QString &name)
{
    if (!m_menu->contains(id)) {
        unknownItem(id);
        return QDBusVariant(QVariant(QString()));
    }
    const QVariant value = m_menu->properties(id, {name}).value(name);
    if (!value.isValid()) {
        reject(QStringLiteral("menu item %1 has no property %2").arg(id).arg(name));
        return QDBusVariant(QVariant(QString()));
    }
    return QDBusVariant(value);
}

void DBusMenuAdaptor::Event(int id, const QString &eventId, const QDBusVariant &data, uint timestamp)
{
    Q_UNUSED(data);
    Q_UNUSED(timestamp);
    if (!m_menu->handleEvent(id, eventId))
        unknownItem(id);
}

QList<int> DBusMenuAdaptor::EventGroup(const QList<DBusMenuEvent> &events)
{
    QList<int> idErrors;
    for (const DBusMenuEvent &event : events)
        if (!m_menu->handleEvent(event.id, event.eventId))
            idErrors.append(event.id);
    return idErrors;
}

bool DBusMenuAdaptor::AboutToShow(int id)
{
    if (!m_menu->contains(id))
        unknownItem(id);
    return false; // the menu never changes, so there is nothing to refresh
}

QList<int> DBusMenuAdaptor::AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors)
{
    idErrors.clear();
    for (int id : ids)
        if (!m_menu->contains(id))
            idErrors.append(id);
    return {};
}

} // namespace pelmora
