// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/tray/StatusNotifierItemAdaptor.h"

#include "app/tray/StatusNotifierItem.h"

namespace pelmora {

StatusNotifierItemAdaptor::StatusNotifierItemAdaptor(StatusNotifierItem *item)
    : QDBusAbstractAdaptor(item)
    , m_item(item)
{
    setAutoRelaySignals(false);
}

SniIconPixmapList StatusNotifierItemAdaptor::iconPixmap() const
{
    m_item->noteLargeReply();
    return m_item->iconPixmaps();
}

SniToolTip StatusNotifierItemAdaptor::toolTip() const
{
    return m_item->toolTip();
}

QDBusObjectPath StatusNotifierItemAdaptor::menu() const
{
    return QDBusObjectPath(QLatin1String(StatusNotifierItem::menuPath));
}

QString StatusNotifierItemAdaptor::xAyatanaLabel() const
{
    return m_item->title();
}

// Hosts pass the pointer position in their own global coordinates; (0, 0) is
// what hosts send when they do not know it, which is also QPoint's null value.
void StatusNotifierItemAdaptor::Activate(int x, int y)
{
    Q_EMIT m_item->activated(QPoint(x, y));
}

void StatusNotifierItemAdaptor::ContextMenu(int x, int y)
{
    Q_EMIT m_item->contextMenuRequested(QPoint(x, y));
}

// A middle click has no meaning here.
void StatusNotifierItemAdaptor::SecondaryActivate(int x, int y)
{
    Q_UNUSED(x);
    Q_UNUSED(y);
}

// Neither has scrolling over the item.
void StatusNotifierItemAdaptor::Scroll(int delta, const QString &orientation)
{
    Q_UNUSED(delta);
    Q_UNUSED(orientation);
}

} // namespace pelmora
