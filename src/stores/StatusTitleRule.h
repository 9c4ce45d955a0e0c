// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "models/MetricsSnapshot.h"

#include <QString>

#include <optional>

namespace pelmora {

// The two figures of the panel item: the machine's CPU and memory use, in percent.
struct StatusFigures {
    double cpuPercent = 0.0;
    double memoryUsedPercent = 0.0;

    // Each as the item writes it: whole percent, ties to even, in the user's digits ("12").
    QString cpuText() const;
    QString memoryText() const;
};

// The figures shown in the panel ("12/63"): taken at most once per interval,
// and not before a sample with applications and a CPU figure other than 0
// (the first CPU reading of a process is always 0).
struct StatusTitleRule {
    static constexpr std::chrono::duration<double> updateInterval{5.0};

    // The new figures, or nothing when the title must stay as it is.
    static std::optional<StatusFigures> figuresFor(const MetricsSnapshot &snapshot,
                                                   const std::optional<WallClock::time_point> &lastUpdate,
                                                   WallClock::time_point now);

    // "12/63"; "--/--" before the first figures.
    static QString title(const std::optional<StatusFigures> &figures);
};

} // namespace pelmora
