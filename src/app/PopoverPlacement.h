// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace pelmora {

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

} // namespace pelmora
