// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppListLogic.h"

#include "support/TextServices.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pelmora::AppListLogic {
namespace {

double orderableCPU(double v) noexcept
{
    return std::isnan(v) ? -std::numeric_limits<double>::infinity() : v;
}

bool matches(const QString &text, const QString &q)
{
    return localizedCaseInsensitiveContains(text, q);
}

} // namespace

QString query(const QString &searchText)
{
    return searchText.trimmed();
}

QList<AppMetric> sortedApps(const MetricsSnapshot &snapshot, AppMetricKind kind)
{
    QList<AppMetric> apps = snapshot.allApps;
    std::stable_sort(apps.begin(), apps.end(), [kind](const AppMetric &a, const AppMetric &b) {
        if (kind == AppMetricKind::cpu && orderableCPU(a.cpuPercent) != orderableCPU(b.cpuPercent))
            return orderableCPU(a.cpuPercent) > orderableCPU(b.cpuPercent);
        if (kind == AppMetricKind::memory && a.memoryBytes != b.memoryBytes)
            return a.memoryBytes > b.memoryBytes;
        return localizedStandardCompare(a.name, b.name) < 0;
    });
    return apps;
}

QList<AppMetric> filteredApps(const MetricsSnapshot &snapshot, const AppListState &state)
{
    QList<AppMetric> apps = sortedApps(snapshot, state.sortMetric);
    const QString q = query(state.searchText);
    if (q.isEmpty())
        return apps;
    apps.removeIf([&q](const AppMetric &app) {
        if (matches(app.name, q))
            return false;
        return std::none_of(app.processes.cbegin(), app.processes.cend(),
                            [&q](const ProcessMetric &p) { return matches(p.name, q); });
    });
    return apps;
}

std::optional<AppMetric> focusedApp(const MetricsSnapshot &snapshot, const AppListState &state)
{
    if (!state.focusedAppID)
        return std::nullopt;
    for (const AppMetric &app : snapshot.allApps) {
        if (app.id == *state.focusedAppID)
            return app;
    }
    return std::nullopt;
}

QList<ProcessMetric> filteredProcesses(const AppMetric &app, const AppListState &state)
{
    const QString q = query(state.searchText);
    if (q.isEmpty() || matches(app.name, q))
        return app.processes;
    QList<ProcessMetric> kept;
    for (const ProcessMetric &p : app.processes) {
        if (matches(p.name, q))
            kept.append(p);
    }
    return kept;
}

} // namespace pelmora::AppListLogic
