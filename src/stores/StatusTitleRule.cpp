// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "StatusTitleRule.h"

#include "support/MetricFormatters.h"

namespace pelmora {

std::optional<QString> StatusTitleRule::titleFor(const MetricsSnapshot &snapshot,
                                                 const std::optional<WallClock::time_point> &lastUpdate,
                                                 WallClock::time_point now)
{
    if (snapshot.topCPUApps.isEmpty() && snapshot.topMemoryApps.isEmpty())
        return std::nullopt;
    if (lastUpdate) {
        if (now - *lastUpdate < updateInterval)
            return std::nullopt;
    } else if (snapshot.cpuPercent == 0.0) {
        return std::nullopt;
    }
    return format(snapshot.cpuPercent, snapshot.memoryUsedPercent);
}

QString StatusTitleRule::format(double cpuPercent, double memoryUsedPercent)
{
    const NumberFormatter &f = percentFormatter();
    return f.format(cpuPercent).value_or(QStringLiteral("0")) + u'/'
        + f.format(memoryUsedPercent).value_or(QStringLiteral("0"));
}

} // namespace pelmora
