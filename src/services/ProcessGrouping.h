// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "models/AppMetric.h"

#include <QList>

#include <optional>

// Turning a process table into ranked applications.
namespace pelmora {

// The applications of one sample in the three orders the lists use.
struct RankedApps {
    QList<AppMetric> all; // by name
    QList<AppMetric> cpu; // busiest first, ties by name
    QList<AppMetric> memory; // largest first, ties by name
};

// One application from a group key and its processes (any order); nothing for
// an empty group. The processes are ordered busiest first, then by memory.
std::optional<AppMetric> makeAppMetric(const QString &key, QList<ProcessMetric> processes);

// Groups by the locale-folded application name (output order kept within a
// group), then ranks. Names comparing equal keep their grouping order.
RankedApps groupAndRank(const QList<ProcessMetric> &processes);

// Stable, NaN-safe orderings shared with the application list.
bool cpuDescending(double a, double b) noexcept;
bool nameAscending(const AppMetric &a, const AppMetric &b);

} // namespace pelmora
