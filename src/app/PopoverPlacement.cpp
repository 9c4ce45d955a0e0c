#include "PopoverPlacement.h"

#include <algorithm>

namespace pelmora {
namespace {

constexpr int gap = 6; // between the panel item and the popover

int clampedStart(int wanted, int length, int areaStart, int areaLength)
{
    // When the popover is larger than the area, its start wins (title stays visible).
    return std::max(areaStart, std::min(wanted, areaStart + areaLength - length));
}

} // namespace

QRect popoverGeometry(QSize size, QPoint anchor, const QRect &available)
{
    const bool panelAbove = anchor.y() < available.center().y();
    const int wantedX = anchor.x() - size.width() / 2;
    const int wantedY = panelAbove ? anchor.y() + gap : anchor.y() - gap - size.height();
    const int x = clampedStart(wantedX, size.width(), available.x(), available.width());
    const int y = clampedStart(wantedY, size.height(), available.y(), available.height());
    return QRect(QPoint(x, y), size);
}

} // namespace pelmora
