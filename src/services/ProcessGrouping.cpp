// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ProcessGrouping.h"

#include "support/TextServices.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <limits>

namespace pelmora {
namespace {

// A CPU figure that is not a number orders below every real figure, which
// keeps the comparison a strict weak order.
double orderable(double v) noexcept
{
    return std::isnan(v) ? -std::numeric_limits<double>::infinity() : v;
}

} // namespace

bool cpuDescending(double a, double b) noexcept
{
    return orderable(a) > orderable(b);
}

bool nameAscending(const AppMetric &a, const AppMetric &b)
{
    return localizedStandardCompare(a.name, b.name) < 0;
}

std::optional<AppMetric> makeAppMetric(const QString &key, QList<ProcessMetric> processes)
{
    if (processes.isEmpty())
        return std::nullopt;
    std::stable_sort(processes.begin(), processes.end(), [](const ProcessMetric &a, const ProcessMetric &b) {
        if (orderable(a.cpuPercent) != orderable(b.cpuPercent))
            return cpuDescending(a.cpuPercent, b.cpuPercent);
        return a.memoryBytes > b.memoryBytes;
    });

    AppMetric app;
    app.id = key;
    app.name = processes.front().appName;
    for (const ProcessMetric &p : processes) {
        app.cpuPercent += p.cpuPercent;
        // Saturate rather than wrap: a wrapped total would rank a huge app last.
        app.memoryBytes = p.memoryBytes > std::numeric_limits<quint64>::max() - app.memoryBytes
            ? std::numeric_limits<quint64>::max()
            : app.memoryBytes + p.memoryBytes;
    }
    app.processes = std::move(processes);
    return app;
}

RankedApps groupAndRank(const QList<ProcessMetric> &processes)
{
    // Keys in order of first appearance, so the result does not depend on hashing.
    QList<QString> keys;
    QHash<QString, QList<ProcessMetric>> groups;
    for (const ProcessMetric &p : processes) {
        QString key = localizedLowercase(p.appName);
        auto it = groups.find(key);
        if (it == groups.end()) {
            keys.append(key);
            it = groups.insert(key, {});
        }
        it->append(p);
    }

    RankedApps ranked;
    ranked.all.reserve(keys.size());
    for (const QString &key : keys) {
        if (std::optional<AppMetric> app = makeAppMetric(key, groups.take(key)))
            ranked.all.append(*std::move(app));
    }

    ranked.cpu = ranked.all;
    ranked.memory = ranked.all;
    std::stable_sort(ranked.all.begin(), ranked.all.end(), nameAscending);
    std::stable_sort(ranked.cpu.begin(), ranked.cpu.end(), [](const AppMetric &a, const AppMetric &b) {
        if (orderable(a.cpuPercent) != orderable(b.cpuPercent))
            return cpuDescending(a.cpuPercent, b.cpuPercent);
        return nameAscending(a, b);
    });
    std::stable_sort(ranked.memory.begin(), ranked.memory.end(), [](const AppMetric &a, const AppMetric &b) {
        if (a.memoryBytes != b.memoryBytes)
            return a.memoryBytes > b.memoryBytes;
        return nameAscending(a, b);
    });
    return ranked;
}

} // namespace pelmora
