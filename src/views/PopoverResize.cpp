// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "PopoverResize.h"

#include <algorithm>
#include <cmath>

namespace pelmora {

double PopoverResize::limited(double height)
{
    return std::min(std::max(height, minimumHeight), maximumHeight);
}

std::optional<double> PopoverResize::dragChanged(double storedHeight, double shownHeight, double translation)
{
    const double start = resizeStartHeight.value_or(shownHeight);
    resizeStartHeight = start;
    const double height = limited(start + translation);
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
