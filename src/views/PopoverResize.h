// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "support/PopoverHeightSetting.h"

#include <optional>

namespace pelmora {

// The popover's height rule. The shown height is the stored one limited to
// 360..760 (and to the screen, which the view applies); a drag on the resize
// strip measures from the height shown when it began, writes the stored
// height only in steps of at least 8, and writes the exact last height when
// it ends.
struct PopoverResize {
    static constexpr double minimumHeight = 360.0;
    static constexpr double maximumHeight = 760.0;
    static constexpr double defaultHeight = PopoverHeightSetting::defaultHeight;
    static constexpr double step = 8.0;

    static double limited(double height);

    std::optional<double> resizeStartHeight;   // set for the length of one drag
    std::optional<double> pendingResizeHeight; // the drag's latest height

    // One drag movement (the press counts as one, with translation 0;
    // downwards is positive), with the height shown at that moment. Returns
    // the height to store now, if any.
    std::optional<double> dragChanged(double storedHeight, double shownHeight, double translation);

    // The release. Returns the height to store, if the drag computed one.
    std::optional<double> dragEnded();
};

} // namespace pelmora
