// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/tray/StatusNotifierItemAdaptor.h"

#include "app/tray/StatusNotifierItem.h"

namespace pelmora {

StatusNotifierItemAdaptor::StatusNotifierItemAdaptor(StatusNotifierItem *item)
    : QDBusAbstractAdaptor(item), m_item(item)
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

// Most hosts pass the pointer position in their own global coordinates, some
// a position inside the item; (0, 0) is what hosts send when they do not know
// it, which is also QPoint's null value. The caller tells which host it is.
void StatusNotifierItemAdaptor::Activate(int x, int y)
{
    Q_EMIT m_item->activated(QPoint(x, y), m_item->calledFromDBus() ? m_item->message().service() : QString());
}

// A Wayland host hands over the right to take the focus for the click it is
// about to report; Qt's Wayland plugin spends it on the next activation.
void StatusNotifierItemAdaptor::ProvideXdgActivationToken(const QString &token)
{
    if (!token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
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
