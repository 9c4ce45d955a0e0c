// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "support/PopoverHeightSetting.h"

#include <optional>

namespace pelmora {

// The heights the popover may be shown at: 360..760 where the screen has
// room for them; see PopoverResize::boundsWithin.
struct PopoverHeightBounds {
    double lowest = 360.0;
    double highest = 760.0;
};

// The popover's height rule. The shown height is the stored one limited to
// the bounds (360..760, less on a small screen); a drag on the resize strip
// measures from the height shown when it began, writes the stored height only
// in steps of at least 8, and writes the exact last height when it ends.
struct PopoverResize {
    static constexpr double minimumHeight = 360.0;
    static constexpr double maximumHeight = 760.0;
    static constexpr double defaultHeight = PopoverHeightSetting::defaultHeight;
    static constexpr double step = 8.0;

    static double limited(double height, PopoverHeightBounds bounds = {});

    // The bounds on a screen whose free area is `limit` high: never taller
    // than that, and where 360 leaves the strip less than 120 to move in, a
    // lower floor, though not below `compactHeight` (all but the list, and
    // one row of it).
    static PopoverHeightBounds boundsWithin(std::optional<double> limit, double compactHeight);

    std::optional<double> resizeStartHeight; // set for the length of one drag
    std::optional<double> pendingResizeHeight; // the drag's latest height

    // One drag movement (the press counts as one, with translation 0;
    // downwards is positive), with the height shown at that moment. Returns
    // the height to store now, if any.
    std::optional<double> dragChanged(double storedHeight, double shownHeight, double translation,
                                      PopoverHeightBounds bounds = {});

    // The release. Returns the height to store, if the drag computed one.
    std::optional<double> dragEnded();
};

} // namespace pelmora
