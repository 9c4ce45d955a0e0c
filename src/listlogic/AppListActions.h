// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "AppListState.h"
#include "models/AppMetric.h"

#include <functional>

namespace pelmora {

// The callbacks the popover hands to its sections, column header and process
// list. The first, fourth and fifth change the list state; the others go to
// the store.
struct AppListActions {
    std::function<void(AppMetricKind)> setMetric;
    std::function<void(const AppMetric &)> quitApp;
    std::function<void(const AppMetric &)> showProcesses;
    std::function<void(bool)> setUpdatesPaused;
    std::function<void()> clearFilter;
};

// Actions over `state` (which must outlive them); `stateChanged` runs after
// every change of the state, `quit` and `setUpdatesPaused` are the store's.
AppListActions makeAppListActions(AppListState &state, std::function<void()> stateChanged,
                                  std::function<void(const AppMetric &)> quit,
                                  std::function<void(bool)> setUpdatesPaused);

} // namespace pelmora
