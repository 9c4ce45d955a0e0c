// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ItemLocator.h"

namespace pelmora {

HostPoint meaningOfHostPoint(QPoint point, const QString &host, bool x11,
                             const std::function<QString()> &x11WindowManager)
{
    if (point.isNull())
        return HostPoint::none;
    if (host == u"waybar")
        return HostPoint::insideItem;
    if (host == u"plasmashell" && x11 && x11WindowManager && x11WindowManager() != u"KWin")
        return HostPoint::misplaced;
    return HostPoint::screen;
}

ItemAnchor ItemLocator::activated(QPoint hostPoint, const QString &host)
{
    ItemAnchor anchor;
    switch (meaningOfHostPoint(hostPoint, host, m_desktop.x11, m_desktop.x11WindowManager)) {
    case HostPoint::screen:
        anchor.point = hostPoint;
        break;
    case HostPoint::misplaced:
        if (m_desktop.pointer)
            anchor.point = m_desktop.pointer();
        break;
    case HostPoint::insideItem:
        break;
    case HostPoint::none:
        if (m_desktop.pointerTrusted && m_desktop.pointer)
            anchor.point = m_desktop.pointer();
        else if (m_last)
            return *m_last;
        break;
    }
    if (!anchor.point && m_desktop.traySpot)
        anchor.spot = m_desktop.traySpot();
    m_last = anchor;
    return anchor;
}

ItemAnchor ItemLocator::remembered() const
{
    if (m_last)
        return *m_last;
    ItemAnchor anchor;
    if (m_desktop.traySpot)
        anchor.spot = m_desktop.traySpot();
    return anchor;
}

} // namespace pelmora
