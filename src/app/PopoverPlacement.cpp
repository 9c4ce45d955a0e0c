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

// Where along one side of `length` a popover of `size` goes for `side`.
int alongSide(TraySpot::Side side, int start, int length, int size)
{
    switch (side) {
    case TraySpot::Side::start:
        return start;
    case TraySpot::Side::centre:
        return start + (length - size) / 2;
    case TraySpot::Side::end:
        break;
    }
    return start + length - size;
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

QRect popoverGeometry(QSize size, const TraySpot &spot, const QRect &available, const QRect &screen)
{
    QRect area = available;
    if (area == screen) {
        switch (spot.edge) {
        case Qt::TopEdge:
            area.setTop(area.top() + assumedBarThickness);
            break;
        case Qt::BottomEdge:
            area.setBottom(area.bottom() - assumedBarThickness);
            break;
        case Qt::LeftEdge:
            area.setLeft(area.left() + assumedBarThickness);
            break;
        case Qt::RightEdge:
            area.setRight(area.right() - assumedBarThickness);
            break;
        }
    }
    const bool horizontal = spot.edge == Qt::TopEdge || spot.edge == Qt::BottomEdge;
    int x = 0, y = 0;
    if (horizontal) {
        x = alongSide(spot.side, area.x(), area.width(), size.width());
        y = spot.edge == Qt::TopEdge ? area.top() + gap : area.bottom() + 1 - gap - size.height();
    } else {
        y = alongSide(spot.side, area.y(), area.height(), size.height());
        x = spot.edge == Qt::LeftEdge ? area.left() + gap : area.right() + 1 - gap - size.width();
    }
    return QRect(QPoint(clampedStart(x, size.width(), area.x(), area.width()),
                        clampedStart(y, size.height(), area.y(), area.height())),
                 size);
}

QRect popoverGeometry(QSize size, const ItemAnchor &anchor, const QRect &available, const QRect &screen)
{
    return anchor.point ? popoverGeometry(size, *anchor.point, available, screen)
                        : popoverGeometry(size, anchor.spot, available, screen);
}

Qt::Edge reservedEdge(const QRect &available, const QRect &screen)
{
    const std::pair<int, Qt::Edge> strips[] = {{available.top() - screen.top(), Qt::TopEdge},
                                               {screen.bottom() - available.bottom(), Qt::BottomEdge},
                                               {available.left() - screen.left(), Qt::LeftEdge},
                                               {screen.right() - available.right(), Qt::RightEdge}};
    const auto widest = std::max_element(std::begin(strips), std::end(strips),
                                         [](const auto &a, const auto &b) { return a.first < b.first; });
    return widest->first > 0 ? widest->second : Qt::TopEdge;
}

} // namespace pelmora
