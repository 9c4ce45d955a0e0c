// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "PopoverPlacement.h"

#include <QPoint>
#include <QString>

#include <functional>
#include <optional>

namespace pelmora {

// What a host's Activate(x, y) point says about where the item is.
enum class HostPoint {
    screen, // a screen position on the item (Plasma, GNOME's extension, Xfce, LXQt, XEmbed trays)
    insideItem, // a position inside the item (waybar: 10,14 and the like)
    misplaced, // known to be off on this desktop: the pointer is where the click was
    none, // (0, 0): the host did not say
};

// `host` is the calling program's process name; `x11WindowManager` the
// running X11 window manager's name, asked for only when it matters (it
// costs a round trip to the X server). Plasma's panel under a window manager
// other than KWin passes a y inside its own panel window.
HostPoint meaningOfHostPoint(QPoint point, const QString &host, bool x11,
                             const std::function<QString()> &x11WindowManager);

// Where the tray item is, from what each click on it tells, kept for opens
// that tell nothing: a second start, the menu's "Open Pelmora".
class ItemLocator {
public:
    struct Desktop {
        bool x11 = true; // the panel is an X11 window (XWayland included)
        bool pointerTrusted = true; // X11 proper: the pointer is where the user clicked
        std::function<QPoint()> pointer;
        std::function<QString()> x11WindowManager;
        std::function<TraySpot()> traySpot; // the bar's spot, for an item without a screen position
    };

    explicit ItemLocator(Desktop desktop) : m_desktop(std::move(desktop)) { }

    // A click on the item: the host's point and the calling program's name
    // (empty when unknown, as for an XEmbed tray's icon centre).
    ItemAnchor activated(QPoint hostPoint, const QString &host);
    // Where the last click was; before any, the bar's spot. Never the
    // pointer: nothing says the user is pointing at the item now.
    ItemAnchor remembered() const;

private:
    Desktop m_desktop;
    std::optional<ItemAnchor> m_last;
};

} // namespace pelmora
