// SPDX-FileCopyrightText: 2026 Pelmora developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppListActions.h"

namespace pelmora {

AppListActions makeAppListActions(AppListState &state, std::function<void()> stateChanged,
                                  std::function<void(const AppMetric &)> quit,
                                  std::function<void(bool)> setUpdatesPaused)
{
    AppListState *s = &state;
    auto changed = [stateChanged] {
        if (stateChanged)
            stateChanged();
    };
    AppListActions actions;
    // Choosing the active column again changes nothing: there is no reversed order.
    actions.setMetric = [s, changed](AppMetricKind kind) {
        s->sortMetric = kind;
        changed();
    };
    actions.quitApp = [quit = std::move(quit)](const AppMetric &app) {
        if (quit)
            quit(app);
    };
    // Focus changes leave the search text alone, in both directions.
    actions.showProcesses = [s, changed](const AppMetric &app) {
        s->focusedAppID = app.id;
        changed();
    };
    actions.setUpdatesPaused = [pause = std::move(setUpdatesPaused)](bool paused) {
        if (pause)
            pause(paused);
    };
    actions.clearFilter = [s, changed] {
        s->focusedAppID.reset();
        changed();
    };
    return actions;
}

} // namespace pelmora
