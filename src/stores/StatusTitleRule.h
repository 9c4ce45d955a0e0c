// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "models/MetricsSnapshot.h"

#include <QString>

#include <optional>

namespace pelmora {

// The title shown in the panel ("12/63"): made at most once per interval, and
// not before a sample with applications and a CPU figure other than 0 (the
// first CPU reading of a process is always 0).
struct StatusTitleRule {
    static constexpr std::chrono::duration<double> updateInterval{5.0};

    // The new title, or nothing when the title must stay as it is.
    static std::optional<QString> titleFor(const MetricsSnapshot &snapshot,
                                           const std::optional<WallClock::time_point> &lastUpdate,
                                           WallClock::time_point now);

    static QString format(double cpuPercent, double memoryUsedPercent);
};

} // namespace pelmora
