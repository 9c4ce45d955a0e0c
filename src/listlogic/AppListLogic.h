// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "AppListState.h"
#include "models/MetricsSnapshot.h"

#include <QList>

#include <optional>

// Search, sort and focus of the application list: pure functions of the
// current sample and the list state, recomputed on every rebuild.
namespace pelmora::AppListLogic {

// The search text without surrounding white space and line breaks.
QString query(const QString &searchText);

// `allApps` in the order of one column: figures descending with the name as
// tie-break, or names ascending; stable for names that compare equal.
QList<AppMetric> sortedApps(const MetricsSnapshot &snapshot, AppMetricKind kind);

// The sorted applications whose name, or the name of one of whose processes,
// contains the query (all of them for an empty query). Records are unchanged.
QList<AppMetric> filteredApps(const MetricsSnapshot &snapshot, const AppListState &state);

// The focused application as found in this sample, if it is there.
std::optional<AppMetric> focusedApp(const MetricsSnapshot &snapshot, const AppListState &state);

// The processes to list for `app`: all of them when the query is empty or
// matches the application's name, else only those whose name matches.
QList<ProcessMetric> filteredProcesses(const AppMetric &app, const AppListState &state);

} // namespace pelmora::AppListLogic
