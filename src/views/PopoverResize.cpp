// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PopoverResize.h"

#include <algorithm>
#include <cmath>

namespace pelmora {

double PopoverResize::limited(double height, PopoverHeightBounds bounds)
{
    return std::min(std::max(height, bounds.lowest), bounds.highest);
}

PopoverHeightBounds PopoverResize::boundsWithin(std::optional<double> limit, double compactHeight)
{
    PopoverHeightBounds bounds;
    if (!limit)
        return bounds;
    constexpr double room = 120.0;
    bounds.highest = std::min(bounds.highest, *limit);
    bounds.lowest = std::min({bounds.lowest, std::max(compactHeight, bounds.highest - room), bounds.highest});
    return bounds;
}

std::optional<double> PopoverResize::dragChanged(double storedHeight, double shownHeight, double translation,
                                                 PopoverHeightBounds bounds)
{
    const double start = resizeStartHeight.value_or(shownHeight);
    resizeStartHeight = start;
    const double height = limited(start + translation, bounds);
    pendingResizeHeight = height;
    if (std::abs(height - storedHeight) >= step)
        return height;
    return std::nullopt;
}

std::optional<double> PopoverResize::dragEnded()
{
    const std::optional<double> last = pendingResizeHeight;
    pendingResizeHeight.reset();
    resizeStartHeight.reset();
    return last;
}

} // namespace pelmora
