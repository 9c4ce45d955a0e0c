// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace pelmora {

// Where a bar's tray sits when no screen position of the item is known: the
// screen edge the bar is on, and the part of the bar that holds the tray
// (start: left or top, end: right or bottom).
struct TraySpot {
    enum class Side { start, centre, end };
    Qt::Edge edge = Qt::TopEdge;
    Side side = Side::end;
    friend bool operator==(const TraySpot &, const TraySpot &) = default;
};

// Where the item is, as far as anything tells: a screen position on or next
// to it (a host's click point, the icon's centre), else the bar's spot.
struct ItemAnchor {
    std::optional<QPoint> point;
    TraySpot spot;
    friend bool operator==(const ItemAnchor &, const ItemAnchor &) = default;
};

// Where the popover goes for a click at `anchor` (global device-independent
// coordinates) on a panel item: below a panel in the upper half of the
// screen, above one in the lower half, horizontally centred on the click and
// always inside `available`.
//
// The panel's far edge is the available area's edge when the window manager
// reserves the panel's strip; without that reservation, the click is taken to
// be at the panel's middle, so the panel spans twice its distance from the
// screen edge.
QRect popoverGeometry(QSize size, QPoint anchor, const QRect &available, const QRect &screen);

// Where it goes for an item known only by its bar's spot: in that corner (or
// the middle) of `available`, next to the bar's edge. Without a reservation
// (available is the whole screen) a bar of assumedBarThickness is allowed for.
QRect popoverGeometry(QSize size, const TraySpot &spot, const QRect &available, const QRect &screen);
constexpr int assumedBarThickness = 32;

QRect popoverGeometry(QSize size, const ItemAnchor &anchor, const QRect &available, const QRect &screen);

// The bar's edge as the free area shows it: the side where the screen's
// strip is reserved (the widest, if several), the top when none is.
Qt::Edge reservedEdge(const QRect &available, const QRect &screen);

} // namespace pelmora
