// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PopoverPlacement.h"

#include <algorithm>

namespace pelmora {
namespace {

constexpr int gap = 6; // between the panel and the popover

int clampedStart(int wanted, int length, int areaStart, int areaLength)
{
    // When the popover is larger than the area, its start wins (title stays visible).
    return std::max(areaStart, std::min(wanted, areaStart + areaLength - length));
}

} // namespace

QRect popoverGeometry(QSize size, QPoint anchor, const QRect &available, const QRect &screen)
{
    const bool panelAbove = anchor.y() < screen.center().y();
    int wantedY = 0;
    if (panelAbove) {
        const int panelBottom = available.top() > screen.top() ? available.top()
                                                               : screen.top() + 2 * (anchor.y() - screen.top());
        wantedY = std::max(anchor.y(), panelBottom) + gap;
    } else {
        const int panelTop = available.bottom() < screen.bottom()
            ? available.bottom() + 1
            : screen.bottom() + 1 - 2 * (screen.bottom() + 1 - anchor.y());
        wantedY = std::min(anchor.y(), panelTop) - gap - size.height();
    }
    const int wantedX = anchor.x() - size.width() / 2;
    const int x = clampedStart(wantedX, size.width(), available.x(), available.width());
    const int y = clampedStart(wantedY, size.height(), available.y(), available.height());
    return QRect(QPoint(x, y), size);
}

} // namespace pelmora
