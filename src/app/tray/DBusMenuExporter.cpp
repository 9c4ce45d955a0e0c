// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/tray/DBusMenuExporter.h"

#include "app/tray/DBusMenuAdaptor.h"

namespace pelmora {
namespace {

QVariantMap filtered(QVariantMap all, const QStringList &names)
{
    if (names.isEmpty())
        return all;
    for (auto it = all.begin(); it != all.end();)
        it = names.contains(it.key()) ? std::next(it) : all.erase(it);
    return all;
}

} // namespace

DBusMenuExporter::DBusMenuExporter(QObject *parent) : QObject(parent)
{
    registerDBusMenuTypes();
    new DBusMenuAdaptor(this);
}

int DBusMenuExporter::addItem(const QString &label)
{
    const int id = int(m_entries.size()) + 1;
    m_entries.append({id, label});
    ++m_revision;
    return id;
}

bool DBusMenuExporter::contains(int id) const
{
    return id >= 0 && id <= m_entries.size();
}

QVariantMap DBusMenuExporter::properties(int id, const QStringList &propertyNames) const
{
    QVariantMap all;
    if (id == 0) {
        all.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    } else if (contains(id)) {
        QString label = m_entries.at(id - 1).label;
        label.replace(QLatin1Char('_'), QLatin1String("__")); // a single '_' would mark a mnemonic
        all.insert(QStringLiteral("label"), label);
        all.insert(QStringLiteral("enabled"), true);
        all.insert(QStringLiteral("visible"), true);
    }
    return filtered(all, propertyNames);
}

DBusMenuLayoutItem DBusMenuExporter::layout(int parentId, int depth, const QStringList &propertyNames, bool *ok) const
{
    if (ok)
        *ok = contains(parentId);
    DBusMenuLayoutItem item{parentId, properties(parentId, propertyNames), {}};
    if (parentId == 0 && depth != 0 && contains(0)) {
        for (const Entry &entry : m_entries)
            item.children.append({entry.id, properties(entry.id, propertyNames), {}});
    }
    return item;
}

DBusMenuItemList DBusMenuExporter::groupProperties(const QList<int> &ids, const QStringList &propertyNames) const
{
    DBusMenuItemList items;
    if (ids.isEmpty()) {
        for (const Entry &entry : m_entries)
            items.append({entry.id, properties(entry.id, propertyNames)});
        return items;
    }
    for (int id : ids)
        if (contains(id))
            items.append({id, properties(id, propertyNames)});
    return items;
}

bool DBusMenuExporter::handleEvent(int id, const QString &eventId)
{
    if (!contains(id))
        return false;
    if (id != 0 && eventId == QLatin1String("clicked"))
        Q_EMIT itemClicked(id);
    return true;
}

} // namespace pelmora
