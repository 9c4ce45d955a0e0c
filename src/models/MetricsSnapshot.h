// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "AppMetric.h"

#include <QList>
#include <chrono>

namespace pelmora {

using WallClock = std::chrono::system_clock;

// One complete sample. The three lists hold the same applications in
// different orders; a record is found in another list by its id.
struct MetricsSnapshot {
    double cpuPercent = 0.0; // whole machine, 0..100
    double memoryUsedPercent = 0.0; // 0 when the total is 0
    quint64 memoryUsedBytes = 0;
    quint64 memoryTotalBytes = 0;
    QList<AppMetric> allApps;
    QList<AppMetric> topCPUApps;
    QList<AppMetric> topMemoryApps;
    WallClock::time_point sampledAt{};

    friend bool operator==(const MetricsSnapshot &, const MetricsSnapshot &) = default;

    // The placeholder before the first real sample: built once, on first use.
    static const MetricsSnapshot &empty();
};

// Seconds since the Unix epoch, with the clock's full sub-second resolution.
double secondsSinceEpoch(WallClock::time_point t) noexcept;

} // namespace pelmora
