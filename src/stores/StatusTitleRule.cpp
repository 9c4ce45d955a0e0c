// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "StatusTitleRule.h"

#include "support/MetricFormatters.h"

namespace pelmora {
namespace {

QString wholePercent(double percent)
{
    return percentFormatter().format(percent).value_or(QStringLiteral("0"));
}

} // namespace

QString StatusFigures::cpuText() const
{
    return wholePercent(cpuPercent);
}

QString StatusFigures::memoryText() const
{
    return wholePercent(memoryUsedPercent);
}

std::optional<StatusFigures> StatusTitleRule::figuresFor(const MetricsSnapshot &snapshot,
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
    return StatusFigures{snapshot.cpuPercent, snapshot.memoryUsedPercent};
}

QString StatusTitleRule::title(const std::optional<StatusFigures> &figures)
{
    return figures ? figures->cpuText() + u'/' + figures->memoryText() : QStringLiteral("--/--");
}

} // namespace pelmora
